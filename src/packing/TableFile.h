// The table file: the EntryTable as CR LF text (shape line, width lines, one line per non-empty
// cell), bytes carried unchanged.
#pragma once

#include <string>

#include "archive/EntryTable.h"

namespace tessaly {

class File;
class MessagePump;

// Creates or replaces `path`. Throws FrameworkError "Cannot Create <path>" when it can't be
// created, and the file layer's error when a write fails.
void SaveTableFile(const EntryTable& table, const std::string& path);
// The same text into a file created by the caller (for writing aside); the file stays open.
void SaveTableFile(const EntryTable& table, File& file);

// Reads `path` into the table: shape, widths and the cells it names; other cells stay. Throws
// FrameworkError "Cannot open file <path>" before touching the table when it can't be opened.
// `pump`, when given, is polled after every cell line.
void LoadTableFile(EntryTable& table, const std::string& path, MessagePump* pump = nullptr);

}  // namespace tessaly
