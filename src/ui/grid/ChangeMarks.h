// Which entries of the open folder differ from the archive they were unpacked from, and what is
// wrong with those that can't be packed as they are: the grid marks them, and "Show changed only"
// narrows it to them. Found by the entry's name, whatever order the rows are in.
#pragma once

#include <QColor>
#include <QIcon>
#include <QPalette>
#include <QString>

#include <string>
#include <string_view>
#include <unordered_map>

namespace tessaly::ui {

class ChangeMarks {
 public:
  struct Mark {
    QString problems;  // one line per problem; empty when the file can be packed as it is
    QString note;      // what else is worth knowing (longer than its slot, ...)
  };

  void Clear() { marks_.clear(); }
  void Set(std::string name, Mark mark) { marks_[std::move(name)] = std::move(mark); }
  const Mark* Find(std::string_view name) const {
    auto found = marks_.find(std::string(name));
    return found == marks_.end() ? nullptr : &found->second;
  }
  bool Empty() const { return marks_.empty(); }
  size_t Count() const { return marks_.size(); }

  // The row's tint: the palette's highlight (or, for a problem, a warm red) blended lightly into
  // the base colour, so it reads on light and dark themes alike.
  static QColor Tint(const QPalette& palette, bool problem);
  static QIcon Icon(bool problem);

 private:
  std::unordered_map<std::string, Mark> marks_;
};

}  // namespace tessaly::ui
