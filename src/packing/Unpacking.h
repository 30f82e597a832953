// Unpack: the listing, then every stream into its own file in the UnpackFolder, with the index
// copy and the table file beside them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "archive/EntryTable.h"
#include "archive/Listing.h"
#include "base/OperationHost.h"

namespace tessaly {

enum class UnpackEnd {
  NoArchive,     // a file of the pair missing: nothing happened
  NothingToDo,   // empty data file or empty index: archive released, no message
  Stopped,       // the listing's index was cut short: archive released, nothing written
  Refused,       // the archive's name can't be stored in a table file: error shown, nothing written
  SizeMismatch,  // "Error with filesize extracting." shown, table reset, nothing written
  Cancelled,     // the host's stop was set: the entry files written so far stay, each whole;
                 // the index copy and the table file are left as they were; a message says so
  Success,       // "Successfully extracted to ..." shown
};

struct UnpackResult {
  ListingEnd listing = ListingEnd::FileMissing;
  UnpackEnd end = UnpackEnd::NoArchive;
  std::string folder;  // the UnpackFolder, once known
  int written = 0;     // entry files written
};

// What the command line adds to the window's Unpack.
struct UnpackOptions {
  // The folder the unpack folder is made in; empty: beside the archive. The folder then gets a
  // source note naming the pair (UnpackFolder).
  std::string into;
  // Entry files left as they are (changed clips the user keeps); every other one is written.
  std::vector<std::string> keep;
};

// The Unpack command's work on the pair that `chosenPath` (its index or its data file) belongs to,
// into the folder beside it or in `options.into` (UnpackFolder::OfArchive). Framework errors
// propagate as FrameworkError, with the window enabled again and the archive released. The index
// copy, the table file and the source note are replaced together; a folder that another pack or
// unpack is using is waited for briefly, then reported busy as a FrameworkError. The host's stop is
// checked before each entry is listed and before each entry file is written.
UnpackResult Unpack(const std::string& chosenPath, ArchiveState& state, EntryTable& table,
                    OperationHost& host, const UnpackOptions& options = {});

// The size pass over a listed table: writes every row's "Size" (next row's "Real Address" minus
// its own, modulo 2^32; the last row runs to `dataFileSize`) and returns the sum modulo 2^32.
// Throws FrameworkError for a cell that doesn't parse.
uint32_t ComputeSizes(EntryTable& table, uint64_t dataFileSize, OperationHost& host);

}  // namespace tessaly
