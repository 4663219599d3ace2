#include "testing/d3d9_control.h"

#include "d3d9/call_log.h"
#include "d3d9/control_state.h"
#include "d3d9/default_caps.h"
#include "d3d9/device.h"
#include "d3d9/surface.h"

namespace kvtest {

using kvd3d::control;

void d3d9Reset() {
  kvd3d::ControlState &state = control();
  state.failCreate = false;
  state.failCheckDeviceType = false;
  state.failedCreateDevice.clear();
  state.capsOverride.reset();
  state.refusedFormats.clear();
  state.callLog.clear();
  state.drawnWorlds.clear();
  state.lastPresentParameters.reset();
  state.failUpdateSurface = false;
  state.failStretchRect = false;
  state.refusedLocks.clear();
  kvd3d::gCallLogOn = false;
}

void d3d9FailUpdateSurface(bool fail) { control().failUpdateSurface = fail; }

void d3d9FailStretchRect(bool fail) { control().failStretchRect = fail; }

void d3d9RefuseLockRect(IDirect3DSurface9 *surface, int times) {
  auto *ours = dynamic_cast<kvd3d::Surface *>(surface);
  if (!ours) return;
  const void *key = ours;
  if (times == 0) {
    control().refusedLocks.erase(key);
  } else {
    control().refusedLocks[key] = times < 0 ? -1 : times;
  }
}

void d3d9FailCreate(bool fail) { control().failCreate = fail; }

void d3d9FailCheckDeviceType(bool fail) { control().failCheckDeviceType = fail; }

void d3d9FailCreateDevice(D3DDEVTYPE type, DWORD vertexProcessingFlag, bool fail) {
  const std::pair<DWORD, DWORD> key{DWORD(type), vertexProcessingFlag};
  if (fail) {
    control().failedCreateDevice.insert(key);
  } else {
    control().failedCreateDevice.erase(key);
  }
}

void d3d9LoseDevice() {
  for (kvd3d::Device *device : control().liveDevices) device->setHealth(kvd3d::Device::Health::lost);
}

void d3d9SetDrawingThreads(int threads) {
  for (kvd3d::Device *device : control().liveDevices) device->setDrawingThreads(threads);
}

void d3d9MakeResettable() {
  for (kvd3d::Device *device : control().liveDevices)
    if (device->health() == kvd3d::Device::Health::lost) device->setHealth(kvd3d::Device::Health::notReset);
}

void d3d9SetCaps(const D3DCAPS9 &caps) { control().capsOverride = caps; }

D3DCAPS9 d3d9DefaultCaps() { return kvd3d::defaultCaps(); }

void d3d9ResetCaps() { control().capsOverride.reset(); }

void d3d9RefuseFormat(D3DFORMAT format, bool refuse) {
  if (refuse) {
    control().refusedFormats.insert(DWORD(format));
  } else {
    control().refusedFormats.erase(DWORD(format));
  }
}

void d3d9EnableCallLog(bool on) { kvd3d::gCallLogOn = on; }

std::vector<std::string> d3d9CallLog() { return control().callLog; }

void d3d9ClearCallLog() {
  control().callLog.clear();
  control().drawnWorlds.clear();
}

std::vector<D3DMATRIX> d3d9DrawnWorldMatrices() { return control().drawnWorlds; }

bool d3d9LastPresentParameters(D3DPRESENT_PARAMETERS *out) {
  const auto &last = control().lastPresentParameters;
  if (!last || !out) return false;
  *out = *last;
  return true;
}

int d3d9LiveDevices() { return int(control().liveDevices.size()); }

int d3d9LiveResources() { return control().liveResources; }

}  // namespace kvtest
