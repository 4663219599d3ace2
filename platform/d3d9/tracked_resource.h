// What the device needs to know about every resource it made: the pool, and whether the
// application still holds references (Reset refuses while DEFAULT-pool resources are held).
#pragma once

#include <d3d9.h>

namespace kvd3d {

class TrackedResource {
 public:
  virtual D3DPOOL trackedPool() const = 0;
  virtual ULONG publicRefs() const = 0;

 protected:
  ~TrackedResource() = default;
};

}  // namespace kvd3d
