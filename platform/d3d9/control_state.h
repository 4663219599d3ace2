// The switches the test control surface sets and the stand-in runtime reads: injected
// faults, a capabilities override, refused formats, the call log and the live devices.
#pragma once

#include <d3d9.h>

#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace kvd3d {

class Device;

struct ControlState {
  bool failCreate = false;
  bool failCheckDeviceType = false;
  std::set<std::pair<DWORD, DWORD>> failedCreateDevice;  // (device type, vertex-processing flag)
  std::optional<D3DCAPS9> capsOverride;
  std::set<DWORD> refusedFormats;
  std::vector<std::string> callLog;
  std::vector<D3DMATRIX> drawnWorlds;  // the world matrix of each logged draw
  std::optional<D3DPRESENT_PARAMETERS> lastPresentParameters;
  std::vector<Device *> liveDevices;
  int liveResources = 0;
  // Copy-operation faults and surfaces that refuse their next LockRect calls (-1: all).
  bool failUpdateSurface = false;
  bool failStretchRect = false;
  std::map<const void *, int> refusedLocks;
  bool environmentRead = false;
};

ControlState &control();

// True when this surface must refuse the current LockRect (uses up one refusal).
bool takeLockRefusal(const void *surface);
// A destroyed surface leaves the refusal list.
void forgetLockRefusal(const void *surface);

// Reads KVPOLYGON_D3D9_FAULTS once per process, at the first Direct3DCreate9.
void readEnvironmentFaultsOnce();

// The vertex-processing flag of a behaviour-flags word, or 0 when there is not exactly one.
DWORD vertexProcessingFlag(DWORD behaviorFlags);

}  // namespace kvd3d
