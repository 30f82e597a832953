// tessaly-cli writes exactly what the window's commands write: the same input unpacked and packed
// once through the binary and once through the core with a recording host gives identical files.
#include <gtest/gtest.h>

#include "archive/Listing.h"
#include "cli/CliRunner.h"
#include "packing/Packing.h"
#include "packing/Unpacking.h"
#include "support/ArchiveBuilder.h"
#include "support/RecordingHost.h"

namespace tessaly::testing {
namespace {

// Three blocks, trailing slot bytes, and one entry of each kind of change before packing: grown
// inside a block, grown at a block's end, shorter, and unchanged.
void WriteArchive(const TempFolder& folder) {
  ArchiveBuilder archive;
  archive.Block({.units = {0, 4, 12}, .offset = 0, .id = 3, .digitIndex = 0x82});
  archive.Block({.units = {0, 2}, .offset = 5000, .id = 9, .unknwn4 = 0xBEEF});
  archive.Block({.units = {0}, .offset = 9000});
  WritePair(folder, "voice", archive.Index(), archive.Data(9700));
}

void ReplaceEntries(const std::string& unpacked) {
  WriteBytes(unpacked + "/voice_00002.asf", "SCHl" + std::string(3000, 'a'));  // 2048 -> 3072
  WriteBytes(unpacked + "/voice_00003.asf", "SCHl" + std::string(2000, 'b'));  // end of block 0
  WriteBytes(unpacked + "/voice_00004.asf", "SCHl");                           // shorter
}

TEST(SameCorePath, CliUnpackAndPackWriteTheFilesTheCoreWrites) {
  TempFolder viaCore, viaCli;
  WriteArchive(viaCore);
  WriteArchive(viaCli);

  RecordingHost host;
  ArchiveState state;
  EntryTable table;
  ASSERT_EQ(Unpack(viaCore / "voice.big", state, table, host).end, UnpackEnd::Success);
  ASSERT_EQ(RunCli({"unpack", "voice.big"}, viaCli.Path()).status, 0);
  ASSERT_EQ(FilesUnder(viaCli.Path(), Folders::Listed),
            FilesUnder(viaCore.Path(), Folders::Listed));

  ReplaceEntries(viaCore / "voice_");
  ReplaceEntries(viaCli / "voice_");
  EntryTable packed;
  ASSERT_EQ(Pack(viaCore / "voice_", packed, host).end, PackEnd::Success);
  ASSERT_EQ(RunCli({"pack", "voice_"}, viaCli.Path()).status, 0);
  auto files = FilesUnder(viaCli.Path(), Folders::Listed);
  EXPECT_EQ(files, FilesUnder(viaCore.Path(), Folders::Listed));
  EXPECT_TRUE(files.contains("voice_.idx") && files.contains("voice_.big"));
}

}  // namespace
}  // namespace tessaly::testing
