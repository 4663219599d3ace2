// DebugSetMute: switches the runtime's debug output off (1) or on (0). The stand-in writes no
// debug output of its own, so the entries only remember the value and record the call.
#include "d3d9/debug_set_mute.h"

#include "testing/win32_control.h"
#include "win32/recent_records.h"

namespace {

struct MuteState {
  bool muted = false;
  // The library mutes around every texture load: only the most recent calls are kept.
  kvwin32::RecentRecords<kvtest::DebugSetMuteCall> calls;
};

MuteState &state() {
  static MuteState s;
  return s;
}

int record(const char *module, DWORD mute) {
  state().muted = mute != 0;
  state().calls.add({module, mute});
  return 0;
}

}  // namespace

namespace kvd3d {

int WINAPI debugSetMuteRetail(DWORD mute) { return record("d3d9.dll", mute); }
int WINAPI debugSetMuteDebug(DWORD mute) { return record("d3d9d.dll", mute); }
bool debugOutputMuted() { return state().muted; }

}  // namespace kvd3d

namespace kvtest {

std::vector<DebugSetMuteCall> debugSetMuteCalls() { return state().calls.list(); }
void clearDebugSetMuteCalls() { state().calls.clear(); }

}  // namespace kvtest
