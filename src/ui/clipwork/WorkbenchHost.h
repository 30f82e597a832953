// What the clip work needs of the window that holds it: the operations' host (progress, status,
// dialogs, boxes), the grid and its table, and the window's command guard. The window implements
// it; the clip work sees nothing else of it.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "archive/EntryTable.h"
#include "base/OperationHost.h"

class QWidget;

namespace tessaly::ui {

class EntryGrid;

class WorkbenchHost : public OperationHost {
 public:
  // The window itself: the owner of the clip work's dialogs and shortcuts.
  virtual QWidget* Widget() = 0;
  virtual EntryGrid* Grid() const = 0;
  virtual const EntryTable& Table() const = 0;
  // True when no command runs and the window takes input.
  virtual bool TakesInput() const = 0;
  // Runs `command` as the window's commands run: busy meanwhile, an error ends it in a box.
  virtual void RunGuarded(const std::function<void()>& command) = 0;
  // Runs `work` on a thread of its own with a host that passes its calls to the window, while
  // the window stays painted and its Stop button and Esc set the host's stop; returns when the
  // work has ended. Call inside RunGuarded. An exception the work throws is thrown here.
  virtual void RunInBackground(const std::function<void(OperationHost&)>& work) = 0;
  // Empties the table, lets `load` fill it and shows it; a throwing load leaves it empty.
  virtual void LoadTable(const std::function<void(EntryTable&)>& load) = 0;
  // The folder dialog: the chosen folder's path (may be empty), or nullopt on cancel.
  virtual std::optional<std::string> PickFolder() = 0;
};

}  // namespace tessaly::ui
