#include "d3d9/private_data.h"

#include <d3d9.h>

#include <cstring>
#include <new>

namespace kvd3d {

PrivateData::~PrivateData() {
  for (Entry &entry : entries_)
    if (entry.object) entry.object->Release();
}

HRESULT PrivateData::set(REFGUID guid, const void *data, DWORD size, DWORD flags) {
  if (!data && size != 0) return D3DERR_INVALIDCALL;
  const bool isObject = flags & D3DSPD_IUNKNOWN;
  if (isObject && (size != sizeof(IUnknown *) || !data)) return D3DERR_INVALIDCALL;
  Entry entry{guid, {}, nullptr};
  if (isObject) {
    std::memcpy(&entry.object, data, sizeof(IUnknown *));
    if (!entry.object) return D3DERR_INVALIDCALL;
  } else {
    try {
      entry.bytes.assign(static_cast<const BYTE *>(data), static_cast<const BYTE *>(data) + size);
    } catch (const std::bad_alloc &) {
      return E_OUTOFMEMORY;
    }
  }
  free(guid);
  try {
    entries_.push_back(std::move(entry));
  } catch (const std::bad_alloc &) {
    return E_OUTOFMEMORY;
  }
  if (entries_.back().object) entries_.back().object->AddRef();
  return D3D_OK;
}

HRESULT PrivateData::get(REFGUID guid, void *data, DWORD *size) const {
  if (!size) return D3DERR_INVALIDCALL;
  for (const Entry &entry : entries_) {
    if (entry.guid != guid) continue;
    const DWORD needed = entry.object ? DWORD(sizeof(IUnknown *)) : DWORD(entry.bytes.size());
    if (!data || *size < needed) {
      *size = needed;
      return D3DERR_MOREDATA;
    }
    *size = needed;
    if (entry.object) {
      entry.object->AddRef();
      std::memcpy(data, &entry.object, sizeof(IUnknown *));
    } else if (needed) {
      std::memcpy(data, entry.bytes.data(), needed);
    }
    return D3D_OK;
  }
  return D3DERR_NOTFOUND;
}

HRESULT PrivateData::free(REFGUID guid) {
  for (auto it = entries_.begin(); it != entries_.end(); ++it) {
    if (it->guid != guid) continue;
    IUnknown *object = it->object;
    entries_.erase(it);
    if (object) object->Release();
    return D3D_OK;
  }
  return D3DERR_NOTFOUND;
}

}  // namespace kvd3d
