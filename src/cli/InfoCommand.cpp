#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <tuple>

#include "cli/ClipTarget.h"
#include "cli/Commands.h"
#include "cli/Json.h"

namespace tessaly::cli {

namespace {

std::string Seconds(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", seconds);
  return text;
}

struct Group {
  int clips = 0;
  double seconds = 0;
};

void ReportUnreadable(TerminalHost& host, const EntryStreams& streams,
                      const std::vector<ClipInfo>& infos) {
  for (int row = 1; row <= streams.Count(); ++row) {
    const ClipInfo& info = infos[static_cast<size_t>(row - 1)];
    if (!info.readable)
      host.ReportFailure("tessaly-cli: entry " + std::to_string(row) + " (" + streams.Name(row) +
                         "): " + info.reason);
  }
}

nlohmann::ordered_json InfoDocument(const EntryStreams& streams,
                                    const std::vector<ClipInfo>& infos) {
  nlohmann::ordered_json clips = nlohmann::ordered_json::array();
  for (int row = 1; row <= streams.Count(); ++row) {
    const ClipInfo& info = infos[static_cast<size_t>(row - 1)];
    nlohmann::ordered_json clip = {
        {"number", row}, {"name", Utf8Text(streams.Name(row))}, {"readable", info.readable}};
    if (info.readable) {
      clip["codec"] = info.codecName;
      clip["channels"] = info.channels;
      clip["rate"] = info.sampleRate;
      clip["samples"] = info.samples;
      clip["seconds"] = info.Seconds();
    } else {
      clip["reason"] = Utf8Text(info.reason);
    }
    clips.push_back(std::move(clip));
  }
  return {{"clips", clips}};
}

}  // namespace

int InfoCommand(TerminalHost& host, const std::string& archiveOrFolder) {
  ClipTarget target;
  if (!OpenClipTarget(host, archiveOrFolder, target, true)) return kExitFailure;
  const EntryStreams& streams = *target.streams;
  std::vector<ClipInfo> infos = ReadAllClipInfo(streams, host);
  target.state.Release();

  if (JsonRequested()) {
    PrintJson(InfoDocument(streams, infos), host.Out());
    ReportUnreadable(host, streams, infos);
    return ExitStatusFor(
        target.complete &&
            std::all_of(infos.begin(), infos.end(), [](const ClipInfo& i) { return i.readable; }),
        host);
  }
  std::FILE* out = host.Out();
  std::string line = "#\tName\tCodec\tChannels\tRate\tSamples\tSeconds\n";
  std::fwrite(line.data(), 1, line.size(), out);
  std::map<std::tuple<std::string, int, int>, Group> groups;
  int unreadable = 0;
  for (int row = 1; row <= streams.Count(); ++row) {
    const ClipInfo& info = infos[static_cast<size_t>(row - 1)];
    line = std::to_string(row) + '\t' + streams.Name(row);
    if (info.readable) {
      line += '\t' + info.codecName + '\t' + std::to_string(info.channels) + '\t' +
              std::to_string(info.sampleRate) + '\t' + std::to_string(info.samples) + '\t' +
              Seconds(info.Seconds()) + '\n';
      Group& group = groups[{info.codecName, info.channels, info.sampleRate}];
      ++group.clips;
      group.seconds += info.Seconds();
    } else {
      line += "\t\t\t\t\t\n";
      ++unreadable;
    }
    std::fwrite(line.data(), 1, line.size(), out);
  }

  host.PrintResult("");
  host.PrintResult("Clips\tCodec\tChannels\tRate\tSeconds");
  for (const auto& [key, group] : groups)
    host.PrintResult(std::to_string(group.clips) + '\t' + std::get<0>(key) + '\t' +
                     std::to_string(std::get<1>(key)) + '\t' + std::to_string(std::get<2>(key)) +
                     '\t' + Seconds(group.seconds));
  if (unreadable > 0) host.PrintResult(std::to_string(unreadable) + "\tunreadable\t\t\t");
  ReportUnreadable(host, streams, infos);
  return ExitStatusFor(target.complete && unreadable == 0, host);
}

}  // namespace tessaly::cli
