#include <utility>

#include "base/SystemCalls.h"

namespace tessaly {

namespace {

SystemCallFault& CurrentFault() {
  static SystemCallFault fault;
  return fault;
}

}  // namespace

void SetSystemCallFault(SystemCallFault fault) {
  CurrentFault() = std::move(fault);
}

int sys::InjectedFault(SystemCall call) {
  const SystemCallFault& fault = CurrentFault();
  return fault ? fault(call) : 0;
}

}  // namespace tessaly
