// Application data attached to a resource under a GUID (SetPrivateData and friends).
#pragma once

#include <windows.h>

#include <vector>

namespace kvd3d {

class PrivateData {
 public:
  PrivateData() = default;
  PrivateData(const PrivateData &) = delete;
  PrivateData &operator=(const PrivateData &) = delete;
  ~PrivateData();

  HRESULT set(REFGUID guid, const void *data, DWORD size, DWORD flags);
  HRESULT get(REFGUID guid, void *data, DWORD *size) const;
  HRESULT free(REFGUID guid);

 private:
  struct Entry {
    GUID guid;
    std::vector<BYTE> bytes;
    IUnknown *object = nullptr;  // held with a reference when stored with D3DSPD_IUNKNOWN
  };
  std::vector<Entry> entries_;
};

}  // namespace kvd3d
