#include "texload/texture_requirements.h"

#include "gfx/com_ref.h"
#include "gfx/debug_mute_scope.h"
#include "pixel/power_of_two.h"
#include "pixel/locks/surface_lock.h"

namespace kv {

namespace {

constexpr DWORD kInvalidUsageBits = 0xFFE039ECu;
constexpr DWORD kQueryVertexTexture = 0x100000u;
constexpr int64_t kMissingChannel = 0x1000000;

UINT bitLength(UINT n) {
  UINT bits = 0;
  while (n) {
    ++bits;
    n >>= 1;
  }
  return bits;
}

// What the device answers about formats, gathered once per choice.
struct DeviceFormatQuery {
  ComRef<IDirect3D9> d3d;
  D3DCAPS9 caps = {};
  D3DDISPLAYMODE mode = {};
  DWORD usage = 0;

  bool accepts(D3DRESOURCETYPE type, uint32_t format) const {
    return SUCCEEDED(d3d->CheckDeviceFormat(caps.AdapterOrdinal, caps.DeviceType, mode.Format, usage, type,
                                            static_cast<D3DFORMAT>(format)));
  }
};

}  // namespace

int64_t formatDistance(const PixelFormatInfo &wanted, const PixelFormatInfo &candidate) {
  if (!formatClassesCompatible(wanted.formatClass, candidate.formatClass)) return -1;
  const uint32_t a[5] = {wanted.extraBits, wanted.alphaBits, wanted.redBits, wanted.greenBits, wanted.blueBits};
  const uint32_t b[5] = {candidate.extraBits, candidate.alphaBits, candidate.redBits, candidate.greenBits,
                         candidate.blueBits};
  int64_t score = 0;
  int wantedChannels = 0;
  for (int i = 0; i < 5; ++i) {
    if (a[i] != 0) ++wantedChannels;
    if (b[i] > a[i]) {
      score += a[i] == 0 ? 256 : int64_t(b[i] - a[i]);
    } else if (b[i] < a[i]) {
      score += b[i] == 0 ? kMissingChannel : int64_t(a[i] - b[i]) * 65536;
    }
  }
  if (wantedChannels == score / kMissingChannel) return -1;
  return score;
}

uint32_t chooseTextureFormat(IDirect3DDevice9 *device, DWORD usage, D3DRESOURCETYPE resourceType,
                             const PixelFormatInfo &wanted) {
  DebugMuteScope mute;
  DeviceFormatQuery query;
  if (device) {
    if (FAILED(device->GetDirect3D(query.d3d.put())) || !query.d3d) return 0;
    if (FAILED(device->GetDeviceCaps(&query.caps)) || FAILED(device->GetDisplayMode(0, &query.mode))) return 0;
    query.usage = usage;
    if (usage & kQueryVertexTexture) {
      D3DDEVICE_CREATION_PARAMETERS creation = {};
      if (SUCCEEDED(device->GetCreationParameters(&creation)) &&
          (creation.BehaviorFlags & D3DCREATE_SOFTWARE_VERTEXPROCESSING)) {
        query.usage |= D3DUSAGE_SOFTWAREPROCESSING;
      }
    }
  }

  const PixelFormatInfo *table = pixelFormatTable();
  const PixelFormatInfo *best = nullptr;
  int64_t bestScore = -1;
  for (uint32_t i = 0; i < kPixelFormatCount; ++i) {
    const PixelFormatInfo &row = table[i];
    if (row.format == 0) continue;
    if (device && !query.accepts(resourceType, row.format)) continue;
    if (row.format == wanted.format) return row.format;
    if (!row.candidate) continue;
    const int64_t score = formatDistance(wanted, row);
    if (score < 0) continue;
    if (!best || score < bestScore || (score == bestScore && row.bitsPerPixel < best->bitsPerPixel)) {
      best = &row;
      bestScore = score;
    }
  }
  return best ? best->format : 0;
}

HRESULT checkTextureRequirements(IDirect3DDevice9 *device, UINT *width, UINT *height, UINT *levels, DWORD usage,
                                 D3DFORMAT *format, D3DPOOL pool) {
  if (usage == VALUE_DEFAULT) usage = 0;
  if (!device || (usage & kInvalidUsageBits) || static_cast<UINT>(pool) > D3DPOOL_SCRATCH) return D3DERR_INVALIDCALL;
  const bool scratch = pool == D3DPOOL_SCRATCH;

  // Format.
  uint32_t chosen = format ? static_cast<uint32_t>(*format) : VALUE_DEFAULT;
  if (scratch && (chosen == D3DFMT_UNKNOWN || chosen == VALUE_DEFAULT)) {
    chosen = D3DFMT_A8R8G8B8;
  } else if (!scratch) {
    const uint32_t wanted = chosen == VALUE_DEFAULT ? uint32_t(D3DFMT_UNKNOWN) : chosen;
    chosen = chooseTextureFormat(device, usage, D3DRTYPE_TEXTURE, lookupFormatInfo(wanted));
    if (chosen == 0) return D3DERR_NOTAVAILABLE;
  }

  // Size.
  UINT w = width ? *width : VALUE_DEFAULT;
  UINT h = height ? *height : VALUE_DEFAULT;
  if (w == VALUE_DEFAULT && h == VALUE_DEFAULT) {
    w = h = 256;
  } else if (w == VALUE_DEFAULT) {
    w = h;
  } else if (h == VALUE_DEFAULT) {
    h = w;
  }
  if (w == 0) w = 1;
  if (h == 0) h = 1;

  const UINT requestedLevels = levels ? *levels : VALUE_DEFAULT;
  D3DCAPS9 caps = {};
  if (!scratch) {
    const HRESULT hr = device->GetDeviceCaps(&caps);
    if (FAILED(hr)) return hr;
    if (caps.MaxTextureWidth && w > caps.MaxTextureWidth) w = caps.MaxTextureWidth;
    if (caps.MaxTextureHeight && h > caps.MaxTextureHeight) h = caps.MaxTextureHeight;
    const uint64_t ratio = (caps.TextureCaps & D3DPTEXTURECAPS_SQUAREONLY) ? 1 : caps.MaxTextureAspectRatio;
    if (ratio != 0) {
      if (w > ratio * h) w = static_cast<UINT>(ratio * h);
      if (h > ratio * w) h = static_cast<UINT>(ratio * w);
    }
    if (caps.TextureCaps & D3DPTEXTURECAPS_POW2) {
      const bool conditionalExempt = requestedLevels == 1 &&
                                     (caps.TextureCaps & D3DPTEXTURECAPS_NONPOW2CONDITIONAL) &&
                                     !isDxtFormat(chosen);
      if (!conditionalExempt) {
        w = roundUpToPowerOfTwo(w);
        h = roundUpToPowerOfTwo(h);
      }
    }
  }
  if (isDxtFormat(chosen)) {
    // A texture of blocks holds whole 4x4 blocks on its top level.
    if (w <= 0xFFFFFFFCu) w = (w + 3) & ~3u;
    if (h <= 0xFFFFFFFCu) h = (h + 3) & ~3u;
  }

  // Levels.
  UINT n;
  if (!scratch && (!(caps.TextureCaps & D3DPTEXTURECAPS_MIPMAP) ||
                   ((caps.TextureCaps & D3DPTEXTURECAPS_NONPOW2CONDITIONAL) && !(isPowerOfTwo(w) && isPowerOfTwo(h))))) {
    n = 1;
  } else {
    const UINT full = bitLength(w > h ? w : h);
    n = (requestedLevels == 0 || requestedLevels > full) ? full : requestedLevels;
  }
  if (n != 1 && (usage & D3DUSAGE_AUTOGENMIPMAP)) n = 0;

  if (width) *width = w;
  if (height) *height = h;
  if (levels) *levels = n;
  if (format) *format = static_cast<D3DFORMAT>(chosen);
  return S_OK;
}

}  // namespace kv
