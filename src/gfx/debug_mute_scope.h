// Keeps the Direct3D runtime's debug output quiet around calls that may fail in normal
// operation (format checks, locks, device copies).
#pragma once

#include "math/direct3d_settings.h"

namespace kv {

class DebugMuteScope {
 public:
  DebugMuteScope() { setDebugMute(1); }
  ~DebugMuteScope() { setDebugMute(0); }
  DebugMuteScope(const DebugMuteScope &) = delete;
  DebugMuteScope &operator=(const DebugMuteScope &) = delete;
};

// Runs one call with the debug output muted and returns its result.
template <class Call>
auto muted(Call call) {
  DebugMuteScope mute;
  return call();
}

}  // namespace kv
