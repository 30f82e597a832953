#include "cli/TerminalHost.h"

namespace tessaly::cli {

TerminalHost::TerminalHost(bool showProgress, std::FILE* out, std::FILE* err)
    : out_(out), err_(err), progress_(err, showProgress) {}

void TerminalHost::SetStatusText(int panel, const std::string& text) {
  if (panel >= 0 && panel < 4) status_[panel] = text;
}

void TerminalHost::ShowMessage(MessageKind kind, const std::string& text) {
  if (kind == MessageKind::Success) {
    WriteLine(out_, text);
    return;
  }
  failureReported_ = true;
  WriteLine(err_, text);
}

void TerminalHost::ReportFailure(const std::string& text) {
  failureReported_ = true;
  WriteLine(err_, text);
}

void TerminalHost::PrintResult(const std::string& text) {
  WriteLine(out_, text);
}

std::string TerminalHost::Ask(const std::string& question) {
  progress_.Clear();
  std::fflush(out_);
  std::fputs(question.c_str(), err_);
  std::fflush(err_);
  std::string answer;
  for (int c; (c = std::fgetc(stdin)) != EOF && c != '\n';) answer += static_cast<char>(c);
  if (!answer.empty() && answer.back() == '\r') answer.pop_back();
  return answer;
}

// A box's line break (CR LF) becomes the terminal's; the text ends with one newline.
void TerminalHost::WriteLine(std::FILE* stream, const std::string& text) {
  progress_.Clear();
  // Keep the two streams in the order they were written when both go to one terminal or file.
  std::fflush(stream == out_ ? err_ : out_);
  std::string line;
  line.reserve(text.size() + 1);
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    line += text[i];
  }
  line += '\n';
  std::fwrite(line.data(), 1, line.size(), stream);
  std::fflush(stream);
}

}  // namespace tessaly::cli
