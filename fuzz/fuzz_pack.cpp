// Packs a small valid folder whose table file is the fuzzer's bytes. Invariants: nothing outside
// the folder's parent changes; the new pair is either complete (index equal to the folder's new
// index copy, table file equal to the table shown) or absent with the folder unchanged; no
// temporary file is left; the window is enabled again.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "FuzzSupport.h"
#include "TableShape.h"
#include "base/Errors.h"
#include "packing/Packing.h"
#include "packing/TableFile.h"
#include "support/ArchiveBuilder.h"
#include "support/RecordingHost.h"
#include "support/TempFolder.h"

namespace {

using namespace tessaly;
using tessaly::testing::ReadBytes;
using tessaly::testing::WriteBytes;

using fuzzing::Require;

struct Sandbox {
  tessaly::testing::TempFolder root;
  std::string outer = root / "outer";
  std::string parent = outer + "/pack";
  std::string folder = parent + "/speech_";
  std::string sentinel = outer + "/sentinel.idx";
  std::string index;
  std::vector<std::string> entries;

  Sandbox() {
    tessaly::testing::ArchiveBuilder archive;
    archive.Block({.units = {0, 4}, .offset = 0, .digitIndex = 1});
    archive.Block({.units = {0}, .offset = 1536});
    index = archive.Index();
    std::string data = archive.Data(1536 + 300);
    entries = {data.substr(0, 1024), data.substr(1024, 512), data.substr(1536)};
    std::filesystem::create_directories(folder);
    WriteBytes(sentinel, "outside");
  }

  // The folder as unpacking leaves it, with `table` as its table file.
  void Reset(const std::string& table) {
    std::filesystem::remove_all(parent);
    std::filesystem::create_directories(folder);
    WriteBytes(folder + "/speech_.tbl", table);
    WriteBytes(folder + "/speech_.id", index);
    for (size_t i = 0; i < entries.size(); ++i)
      WriteBytes(folder + "/speech_0000" + std::to_string(i + 1) + ".asf", entries[i]);
  }

  size_t FileCount() const {
    size_t count = 0;
    for (const auto& item : std::filesystem::recursive_directory_iterator(root.Path()))
      count += item.is_regular_file();
    return count;
  }
};

Sandbox& Box() {
  static Sandbox box;
  return box;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (tessaly::fuzzing::ShapeCells({reinterpret_cast<const char*>(data), size}) > (1u << 12))
    return 0;
  Sandbox& box = Box();
  const std::string tableText(reinterpret_cast<const char*>(data), size);
  box.Reset(tableText);
  const size_t filesBefore = box.FileCount();

  EntryTable grid;
  tessaly::testing::RecordingHost host;
  host.recordProgress = false;
  PackEnd end = PackEnd::ResourcesMissing;
  bool threw = false;
  try {
    end = Pack(box.folder, grid, host).end;
  } catch (const FrameworkError&) {
    threw = true;
  }

  Require(host.windowEnabled, "the window is enabled again");
  Require(ReadBytes(box.sentinel) == "outside", "nothing outside the folder's parent changes");
  const std::string dataPath = box.parent + "/speech_.big";
  const std::string indexPath = box.parent + "/speech_.idx";
  if (!threw && end == PackEnd::Success) {
    Require(box.FileCount() == filesBefore + 2, "success adds exactly the new pair");
    std::string newIndex = ReadBytes(indexPath);
    Require(newIndex.size() == box.index.size(), "the index keeps its size");
    Require(ReadBytes(box.folder + "/speech_.id") == newIndex, "the index copy is the new index");
    Require(std::filesystem::exists(dataPath), "the new data file exists");
    std::string expected = box.root / "expected.tbl";
    SaveTableFile(grid, expected);
    Require(ReadBytes(box.folder + "/speech_.tbl") == ReadBytes(expected),
            "the table file holds the table shown");
    std::filesystem::remove(expected);
  } else {
    Require(box.FileCount() == filesBefore, "a failed pack leaves no file behind");
    Require(!std::filesystem::exists(dataPath) && !std::filesystem::exists(indexPath),
            "a failed pack writes no pair");
    Require(ReadBytes(box.folder + "/speech_.tbl") == tableText, "the table file is unchanged");
    Require(ReadBytes(box.folder + "/speech_.id") == box.index, "the index copy is unchanged");
  }
  return 0;
}
