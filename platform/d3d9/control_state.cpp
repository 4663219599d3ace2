#include "d3d9/control_state.h"

#include <cstdlib>
#include <string_view>

namespace kvd3d {

// Never destroyed: devices a host still holds at exit may be released after static
// destructors have run.
ControlState &control() {
  static ControlState *state = new ControlState;
  return *state;
}

bool takeLockRefusal(const void *surface) {
  auto &refused = control().refusedLocks;
  if (refused.empty()) return false;
  auto it = refused.find(surface);
  if (it == refused.end()) return false;
  if (it->second > 0 && --it->second == 0) refused.erase(it);
  return true;
}

void forgetLockRefusal(const void *surface) { control().refusedLocks.erase(surface); }

DWORD vertexProcessingFlag(DWORD behaviorFlags) {
  const DWORD flags = behaviorFlags & (D3DCREATE_SOFTWARE_VERTEXPROCESSING | D3DCREATE_HARDWARE_VERTEXPROCESSING |
                                       D3DCREATE_MIXED_VERTEXPROCESSING);
  const bool single = flags != 0 && (flags & (flags - 1)) == 0;
  return single ? flags : 0;
}

namespace {

void applyFault(ControlState &state, std::string_view name) {
  if (name == "create") {
    state.failCreate = true;
  } else if (name == "typecheck") {
    state.failCheckDeviceType = true;
  } else if (name == "hal-mixed") {
    state.failedCreateDevice.insert({D3DDEVTYPE_HAL, D3DCREATE_MIXED_VERTEXPROCESSING});
  } else if (name == "hal-hw") {
    state.failedCreateDevice.insert({D3DDEVTYPE_HAL, D3DCREATE_HARDWARE_VERTEXPROCESSING});
  } else if (name == "hal-sw") {
    state.failedCreateDevice.insert({D3DDEVTYPE_HAL, D3DCREATE_SOFTWARE_VERTEXPROCESSING});
  } else if (name == "ref") {
    // The reference device is refused whatever vertex processing is asked for.
    for (DWORD flag : {D3DCREATE_SOFTWARE_VERTEXPROCESSING, D3DCREATE_HARDWARE_VERTEXPROCESSING,
                       D3DCREATE_MIXED_VERTEXPROCESSING})
      state.failedCreateDevice.insert({D3DDEVTYPE_REF, flag});
  }
  // Unknown names are ignored so that a typo never breaks a host.
}

}  // namespace

void readEnvironmentFaultsOnce() {
  ControlState &state = control();
  if (state.environmentRead) return;
  state.environmentRead = true;
  const char *text = std::getenv("KVPOLYGON_D3D9_FAULTS");
  if (!text) return;
  std::string_view rest(text);
  while (!rest.empty()) {
    const size_t comma = rest.find(',');
    std::string_view item = rest.substr(0, comma);
    while (!item.empty() && item.front() == ' ') item.remove_prefix(1);
    while (!item.empty() && item.back() == ' ') item.remove_suffix(1);
    applyFault(state, item);
    if (comma == std::string_view::npos) break;
    rest.remove_prefix(comma + 1);
  }
}

}  // namespace kvd3d
