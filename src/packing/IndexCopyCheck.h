// Whether a folder's table and index copy describe the same archive, checked before a pack writes
// anything: a table and an index copy from different runs (two packs that crossed, an unpack
// stopped between the two files) would otherwise pack into a pair that can't be listed.
#pragma once

#include <optional>
#include <string>

#include "archive/EntryTable.h"
#include "archive/IndexImage.h"

namespace tessaly {

// The bytes at each row's "Pos in Block" must hold its "Address" as an AddressUnit, and those at
// its "Offset Pos" its "Offset". The error box text naming the first row that disagrees, or
// nullopt. Rows whose numbers don't all parse are left to the pack, which reports them when it
// reads them.
std::optional<std::string> CheckTableAgainstIndexCopy(const EntryTable& table,
                                                      const IndexImage& image);

}  // namespace tessaly
