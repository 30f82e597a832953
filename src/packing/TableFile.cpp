#include "packing/TableFile.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <optional>
#include <string_view>
#include <vector>

#include "base/Errors.h"
#include "base/Files.h"
#include "base/Numbers.h"
#include "base/OperationHost.h"
#include "packing/TableLines.h"

namespace tessaly {

namespace {

constexpr size_t kBufferSize = 1 << 16;
constexpr uint32_t kLinesPerPoll = 64;
constexpr char kCr = '\r';
constexpr char kLf = '\n';
constexpr char kTab = '\t';
constexpr char kBs = '\b';

// Sequential writes through a fixed buffer. Callers reserve room for a whole line first, so the
// appends themselves need no checks.
class BufferedWriter {
 public:
  explicit BufferedWriter(File& file) : file_(file), buffer_(kBufferSize) {}
  void Reserve(size_t count) {
    if (buffer_.size() - used_ >= count) return;
    Flush();
    if (buffer_.size() < count) buffer_.resize(count);
  }
  void Append(std::string_view text) {
    std::memcpy(buffer_.data() + used_, text.data(), text.size());
    used_ += text.size();
  }
  void Append(char c) { buffer_[used_++] = c; }
  void AppendNumber(int64_t value) {
    char* end = buffer_.data() + buffer_.size();
    used_ = std::to_chars(buffer_.data() + used_, end, value).ptr - buffer_.data();
  }
  void EndLine() { Append("\r\n"); }
  void Flush() {
    file_.WriteAt(position_, buffer_.data(), used_);
    position_ += used_;
    used_ = 0;
  }

 private:
  File& file_;
  std::vector<char> buffer_;
  size_t used_ = 0;
  uint64_t position_ = 0;
};

// Room for the numbers, commas and line end of any one line.
constexpr size_t kLineOverhead = 64;

// Lines ending at LF or CR LF, read through a buffer that grows only for a line longer than it.
class LineReader {
 public:
  explicit LineReader(const File& file) : file_(file), buffer_(kBufferSize) {}

  bool Next(std::string_view& line) {
    for (;;) {
      std::string_view rest(buffer_.data() + start_, end_ - start_);
      if (std::optional<std::string_view> cut = CutLine(rest)) {
        start_ = end_ - rest.size();
        line = *cut;
        return true;
      }
      if (atEnd_) {
        if (rest.empty()) return false;
        line = rest;  // the last line, without a line end
        start_ = end_;
        return true;
      }
      Refill();
    }
  }

  // False when no line returned since the last refill holds a BS: one scan of the buffer spares
  // a scan of every cell, as escaped cells are rare.
  bool MayHoldBs() const { return holdsBs_; }

 private:
  void Refill() {
    if (start_ > 0) {
      std::memmove(buffer_.data(), buffer_.data() + start_, end_ - start_);
      end_ -= start_;
      start_ = 0;
    }
    if (end_ == buffer_.size()) buffer_.resize(buffer_.size() * 2);
    size_t got = file_.ReadAt(position_, buffer_.data() + end_, buffer_.size() - end_);
    position_ += got;
    end_ += got;
    if (got == 0) atEnd_ = true;
    holdsBs_ = std::memchr(buffer_.data() + start_, kBs, end_ - start_) != nullptr;
  }

  const File& file_;
  std::vector<char> buffer_;
  size_t start_ = 0, end_ = 0;
  uint64_t position_ = 0;
  bool atEnd_ = false;
  bool holdsBs_ = false;  // whether the buffered lines hold a BS anywhere
};

void AppendEscaped(BufferedWriter& out, std::string_view text) {
  if (!Holds(text, kCr)) {
    out.Append(text);
    return;
  }
  for (char c : text) out.Append(c == kCr ? kTab : c == kLf ? kBs : c);
}

// A text without BS is stored as it stands, with no copy.
void StoreUnescaped(EntryTable& table, int column, int row, std::string_view text, bool mayHoldBs) {
  if (!mayHoldBs || !Holds(text, kBs)) return table.SetCell(column, row, text);
  table.SetCell(column, row, UnescapeCellText(text));
}

// A shape line may name any counts. Beyond 2^23 cells (some 490,000 rows of 17 columns) a table
// must be backed by a file at least as large as its cell count, so a few bytes can't make the
// table allocate gigabytes; such a file is refused before the table is touched.
void CheckShape(int64_t columns, int64_t rows, uint64_t fileSize, const std::string& path) {
  constexpr uint64_t kAlwaysAllowedCells = 1 << 23;
  uint64_t cells = static_cast<uint64_t>(columns) * static_cast<uint64_t>(rows);
  if (cells > std::max(kAlwaysAllowedCells, fileSize))
    throw FrameworkError("Table too large in " + path + ": " + std::to_string(columns) +
                         " columns, " + std::to_string(rows) + " rows");
}

}  // namespace

void SaveTableFile(const EntryTable& table, const std::string& path) {
  File file;
  try {
    file = File::CreateReplace(path);
  } catch (const FrameworkError&) {
    throw FrameworkError("Cannot Create " + path);
  }
  SaveTableFile(table, file);
  file.Close();
}

void SaveTableFile(const EntryTable& table, File& file) {
  BufferedWriter out(file);
  const int columns = table.ColumnCount(), rows = table.RowCount();
  out.Reserve(kLineOverhead);
  out.AppendNumber(columns);
  out.Append(',');
  out.AppendNumber(rows);
  out.EndLine();
  for (int c = 0; c < columns; ++c) {
    out.Reserve(kLineOverhead);
    out.Append("cw ");
    out.AppendNumber(c);
    out.Append(',');
    out.AppendNumber(table.ColumnWidth(c));
    out.EndLine();
  }
  // Every cell line starts "<column>,<row>,": the row's part is formatted once per row, and the
  // first columns' parts once.
  constexpr int kReadyColumns = 32;
  std::vector<DecimalDigits> columnNumbers;
  for (int c = 0; c < kReadyColumns; ++c) columnNumbers.emplace_back(c);
  for (int r = 0; r < rows; ++r) {
    DecimalDigits rowNumber(static_cast<uint64_t>(r));
    for (int c = 0; c < columns; ++c) {
      std::string_view text = table.Cell(c, r);
      if (text.empty()) continue;
      out.Reserve(kLineOverhead + text.size());
      if (c < kReadyColumns)
        out.Append(columnNumbers[static_cast<size_t>(c)].View());
      else
        out.AppendNumber(c);
      out.Append(',');
      out.Append(rowNumber.View());
      out.Append(',');
      AppendEscaped(out, text);
      out.EndLine();
    }
  }
  out.Flush();
}

void LoadTableFile(EntryTable& table, const std::string& path, MessagePump* pump) {
  File file;
  try {
    file = File::OpenRead(path);
  } catch (const FrameworkError&) {
    throw FrameworkError("Cannot open file " + path);
  }
  LineReader lines(file);
  std::string_view line;
  if (!lines.Next(line)) return;
  if (std::optional<TableShape> shape = ParseShapeLine(line)) {
    CheckShape(shape->columns, shape->rows, file.Size(), path);
    table.SetColumnCount(shape->columns);
    table.SetRowCount(shape->rows);
  }
  uint32_t cellLines = 0;
  while (lines.Next(line)) {
    TableLine parsed = ParseTableLine(line);
    int32_t column = parsed.column, row = parsed.row;
    if (parsed.isWidth) {
      if (column >= 0 && column < table.ColumnCount()) table.SetColumnWidth(column, parsed.width);
      continue;
    }
    if (column >= 0 && row >= 0 && column < table.ColumnCount() && row < table.RowCount())
      StoreUnescaped(table, column, row, parsed.text, lines.MayHoldBs());
    // The pump is throttled by time; asking the clock only every few lines keeps it cheap.
    if (pump && ++cellLines % kLinesPerPoll == 0) pump->Poll();
  }
}

}  // namespace tessaly
