#include <algorithm>
#include <cctype>
#include <cstdio>
#include <iterator>
#include <utility>

#include "kvtex.h"
#include "pixel/formats/pixel_format_info.h"
#include "pixel/formats/private_formats.h"

namespace kvtex {
namespace {

struct NamedFormat {
  uint32_t format;
  const char *name;  // without the D3DFMT_ prefix
};

#define KV_FORMAT(name) {D3DFMT_##name, #name}
constexpr NamedFormat kFormats[] = {
    KV_FORMAT(UNKNOWN),       KV_FORMAT(R8G8B8),        KV_FORMAT(A8R8G8B8),      KV_FORMAT(X8R8G8B8),
    KV_FORMAT(R5G6B5),        KV_FORMAT(X1R5G5B5),      KV_FORMAT(A1R5G5B5),      KV_FORMAT(A4R4G4B4),
    KV_FORMAT(R3G3B2),        KV_FORMAT(A8),            KV_FORMAT(A8R3G3B2),      KV_FORMAT(X4R4G4B4),
    KV_FORMAT(A2B10G10R10),   KV_FORMAT(A8B8G8R8),      KV_FORMAT(X8B8G8R8),      KV_FORMAT(G16R16),
    KV_FORMAT(A2R10G10B10),   KV_FORMAT(A16B16G16R16),  KV_FORMAT(A8P8),          KV_FORMAT(P8),
    KV_FORMAT(L8),            KV_FORMAT(A8L8),          KV_FORMAT(A4L4),          KV_FORMAT(V8U8),
    KV_FORMAT(L6V5U5),        KV_FORMAT(X8L8V8U8),      KV_FORMAT(Q8W8V8U8),      KV_FORMAT(V16U16),
    KV_FORMAT(A2W10V10U10),   KV_FORMAT(UYVY),          KV_FORMAT(R8G8_B8G8),     KV_FORMAT(YUY2),
    KV_FORMAT(G8R8_G8B8),     KV_FORMAT(DXT1),          KV_FORMAT(DXT2),          KV_FORMAT(DXT3),
    KV_FORMAT(DXT4),          KV_FORMAT(DXT5),          KV_FORMAT(D16_LOCKABLE),  KV_FORMAT(D32),
    KV_FORMAT(D15S1),         KV_FORMAT(D24S8),         KV_FORMAT(D24X8),         KV_FORMAT(D24X4S4),
    KV_FORMAT(D16),           KV_FORMAT(D32F_LOCKABLE), KV_FORMAT(D24FS8),        KV_FORMAT(L16),
    KV_FORMAT(Q16W16V16U16),  KV_FORMAT(R16F),          KV_FORMAT(G16R16F),       KV_FORMAT(A16B16G16R16F),
    KV_FORMAT(R32F),          KV_FORMAT(G32R32F),       KV_FORMAT(A32B32G32R32F), KV_FORMAT(CxV8U8),
};
#undef KV_FORMAT

// Other names people know formats by. The RGBA-style names give the byte order in memory
// (as the newer graphics interfaces name formats): D3DFMT_A8R8G8B8 lies as B, G, R, A.
struct Alias {
  const char *alias;
  uint32_t format;
};
constexpr Alias kAliases[] = {
    {"BC1", D3DFMT_DXT1},          {"BC2", D3DFMT_DXT3},         {"BC3", D3DFMT_DXT5},
    {"BGRA8", D3DFMT_A8R8G8B8},    {"BGRX8", D3DFMT_X8R8G8B8},   {"RGBA8", D3DFMT_A8B8G8R8},
    {"RGBX8", D3DFMT_X8B8G8R8},    {"BGR8", D3DFMT_R8G8B8},      {"B5G6R5", D3DFMT_R5G6B5},
    {"BGR5A1", D3DFMT_A1R5G5B5},   {"BGRA4", D3DFMT_A4R4G4B4},   {"RG16", D3DFMT_G16R16},
    {"RGBA16", D3DFMT_A16B16G16R16}, {"RGB10A2", D3DFMT_A2B10G10R10}, {"R16F", D3DFMT_R16F},
    {"RG16F", D3DFMT_G16R16F},     {"RGBA16F", D3DFMT_A16B16G16R16F}, {"RG32F", D3DFMT_G32R32F},
    {"RGBA32F", D3DFMT_A32B32G32R32F}, {"R8", D3DFMT_L8},        {"R16", D3DFMT_L16},
};

// Names people may try that the library has no format for, with the reason.
constexpr std::pair<const char *, const char *> kMissing[] = {
    {"BC4", "BC4 (ATI1) is not a format the library has"},
    {"ATI1", "BC4 (ATI1) is not a format the library has"},
    {"BC5", "BC5 (ATI2) is not a format the library has"},
    {"ATI2", "BC5 (ATI2) is not a format the library has"},
    {"BC6H", "BC6H is not a format the library has"},
    {"BC7", "BC7 is not a format the library has"},
};

size_t editDistance(const std::string &a, const std::string &b) {
  std::vector<size_t> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      const size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

std::string upper(std::string text) {
  for (char &c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

std::string formatName(uint32_t format) {
  for (const NamedFormat &f : kFormats) {
    if (f.format == format) return std::string("D3DFMT_") + f.name;
  }
  if (format == kv::FMT_A16L16) return "FMT_A16L16";
  if (format == kv::FMT_R16G16B16) return "FMT_R16G16B16";
  return "unknown";
}

std::optional<uint32_t> parseFormatName(const std::string &name) {
  std::string wanted = upper(name);
  if (wanted.rfind("D3DFMT_", 0) == 0) wanted.erase(0, 7);
  for (const NamedFormat &f : kFormats) {
    if (upper(f.name) == wanted) return f.format;
  }
  for (const Alias &a : kAliases) {
    if (a.alias == wanted) return a.format;
  }
  return std::nullopt;
}

std::string unknownFormatText(const std::string &name) {
  std::string wanted = upper(name);
  if (wanted.rfind("D3DFMT_", 0) == 0) wanted.erase(0, 7);
  for (const auto &[missing, reason] : kMissing) {
    if (wanted == missing) return reason;
  }
  // The closest names, at most three, within two edits.
  std::vector<std::pair<size_t, std::string>> near;
  for (const NamedFormat &f : kFormats) near.emplace_back(editDistance(wanted, f.name), f.name);
  for (const Alias &a : kAliases) near.emplace_back(editDistance(wanted, a.alias), a.alias);
  std::stable_sort(near.begin(), near.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
  std::string text = "unknown format " + name;
  for (size_t i = 0; i < near.size() && i < 3 && near[i].first <= 2; ++i) text += (i ? ", " : "; did you mean ") + near[i].second;
  if (text.find("did you mean") != std::string::npos) text += "?";
  return text + " (kvtex formats lists them all)";
}

std::vector<std::string> formatAliases(uint32_t format) {
  std::vector<std::string> aliases;
  for (const Alias &a : kAliases) {
    if (a.format == format) aliases.emplace_back(a.alias);
  }
  return aliases;
}

std::vector<uint32_t> allFormats() {
  std::vector<uint32_t> formats;
  for (const NamedFormat &f : kFormats) {
    if (f.format != D3DFMT_UNKNOWN) formats.push_back(f.format);
  }
  return formats;
}

const char *fileFormatName(kv::ImageFileFormat format) {
  static constexpr const char *kNames[] = {"bmp", "jpg", "tga", "png", "dds", "ppm", "dib", "hdr", "pfm"};
  const auto index = static_cast<uint32_t>(format);
  return index < std::size(kNames) ? kNames[index] : "unknown";
}

const char *resourceTypeName(uint32_t resourceType) {
  switch (resourceType) {
    case D3DRTYPE_TEXTURE:
      return "texture";
    case D3DRTYPE_VOLUMETEXTURE:
      return "volume";
    case D3DRTYPE_CUBETEXTURE:
      return "cube";
    default:
      return "unknown";
  }
}

std::string errorText(HRESULT code) {
  switch (static_cast<uint32_t>(code)) {
    case 0x88760B59u:
      return "invalid data";
    case 0x8876086Cu:
      return "invalid call";
    case 0x8876086Au:
      return "not available";
    case 0x8007000Eu:
      return "out of memory";
    case 0x80004005u:
      return "failed";
    default:
      return "error";
  }
}

std::string errorCode(HRESULT code) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(code));
  return text;
}

bool hasPalette(uint32_t format) {
  return format != 0 && kv::lookupFormatInfo(format).formatClass == kv::FormatClass::Palette;
}

}  // namespace kvtex
