// The files that belong to an unpack folder such as `/mods/speech_`: its table (`speech_.tbl`)
// and index copy (`speech_.id`) inside it, the pair it was unpacked from beside it, named after
// the folder without its final "_" (`/mods/speech.idx`, `/mods/speech.big`), and the pair a pack
// writes beside it, named after the folder itself (`/mods/speech_.idx`, `/mods/speech_.big`).
//
// A folder unpacked elsewhere than beside its pair (`unpack /game/speech.idx --to /mods`) holds a
// source note, `speech_.source`: one line, the full path of the index file it was unpacked from.
// The note, when there, names the source pair instead of the folder's name.
//
// Game files copied from systems whose names ignore case often arrive upper-case: every one of
// these names is the file that exists under it ignoring the case of ASCII letters, when the exact
// one is missing. Every operation that opens a folder, and Unpack that makes one, takes its names
// from here.
#pragma once

#include <string>
#include <string_view>

#include "archive/EntryTable.h"

namespace tessaly {

class MessagePump;

struct UnpackFolder {
  std::string path;
  std::string tableFile;
  std::string indexCopy;
  // The note that names the source pair when it doesn't lie beside the folder.
  std::string sourceNote;
  // The pair it was unpacked from; empty when the folder's name doesn't end in "_" and no source
  // note names it.
  std::string sourceIndex;
  std::string sourceData;
  bool sourceFromNote = false;
  // The pair a pack of the folder writes: beside it, or where PackInto puts it.
  std::string packedIndex;
  std::string packedData;
  // Set by ToRead when an unpack or a pack of the folder was stopped while it replaced the table
  // file and the index copy: `tableFile` and `indexCopy` then name its new ones, and this says
  // which command finishes it.
  std::string interrupted;

  // A folder chosen to pack, open, check or take clips from: the table file and index copy are
  // the folder's name with its extension replaced by ".tbl" and ".id".
  static UnpackFolder Chosen(const std::string& folder);
  // The same folder opened to read it without writing (status, the check before packing, the clip
  // verbs): the new table file and index copy of a stopped unpack or pack are read as they are,
  // left for the next unpack or pack to put in place.
  static UnpackFolder ToRead(const std::string& folder);
  // The folder Unpack makes for the archive chosen at `chosenPath` (its index or data file): the
  // path without its extension and with "_" appended, holding the chosen file's name with its
  // extension replaced by "_.tbl" and "_.id". With `into`, the folder is made there instead of
  // beside the archive.
  static UnpackFolder OfArchive(const std::string& chosenPath, const std::string& into = "");

  // Names the pair a pack writes in the folder `into` instead of beside the folder.
  void PackInto(const std::string& into);
  // A pack writes its pair elsewhere than beside the folder.
  bool PacksElsewhere() const;
  // An unpack into this folder must write the source note: the pair doesn't lie beside the
  // folder under its name, or a note is there already (it is kept up to date).
  bool NeedsSourceNote() const;

  // The folder is named and holds both its table file and its index copy.
  bool HasTableAndIndexCopy() const;
  // Both files of the source pair exist.
  bool HasSourcePair() const;
};

// Reads the folder's table into `table` ("Resource files not found in <folder>" as a
// FrameworkError when the table file or the index copy is missing, and the table file's own
// errors). `pump`, when given, is polled while it reads.
void LoadFolderTable(const UnpackFolder& folder, EntryTable& table, MessagePump* pump = nullptr);
EntryTable LoadFolderTable(const UnpackFolder& folder);

}  // namespace tessaly
