// Why a file is refused, in words a user can act on: what the tool can tell from the file
// system, the file's signature and the header fields it peeks at itself, and the JPEG and
// PNG libraries' own messages. The library's return codes stay as they are.
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include <png.h>

#include "kvtex.h"
#include "texload/dds_format.h"

namespace kvtex {
namespace {

constexpr const char *kReadable = "the library reads BMP, DIB, DDS, TGA, PNG, JPEG, PPM, PFM and HDR files";

uint32_t get16(const std::vector<uint8_t> &d, size_t at) { return at + 2 <= d.size() ? d[at] | d[at + 1] << 8 : 0; }
uint32_t get32(const std::vector<uint8_t> &d, size_t at) {
  return at + 4 <= d.size() ? d[at] | d[at + 1] << 8 | d[at + 2] << 16 | uint32_t(d[at + 3]) << 24 : 0;
}
uint32_t get32be(const std::vector<uint8_t> &d, size_t at) {
  return at + 4 <= d.size() ? uint32_t(d[at]) << 24 | d[at + 1] << 16 | d[at + 2] << 8 | d[at + 3] : 0;
}
bool startsWith(const std::vector<uint8_t> &d, const char *text) {
  const size_t n = std::strlen(text);
  return d.size() >= n && std::memcmp(d.data(), text, n) == 0;
}

std::string truncated(size_t size, uint64_t needed, const std::string &what) {
  return "truncated at byte " + std::to_string(size) + ": " + what + " needs " + std::to_string(needed) + " bytes";
}

std::string fourCcText(uint32_t code) {
  std::string text;
  for (int i = 0; i < 4; ++i) {
    const char c = static_cast<char>(code >> (8 * i));
    text += c >= 32 && c < 127 ? c : '?';
  }
  return text;
}

std::string bmpReason(const std::vector<uint8_t> &d) {
  if (d.size() < 54) return truncated(d.size(), 54, "a BMP header");
  const uint32_t offset = get32(d, 10), width = get32(d, 18), bits = get16(d, 28), compression = get32(d, 30);
  const int32_t height = static_cast<int32_t>(get32(d, 22));
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
    return "BMP with " + std::to_string(bits) + " bits per pixel is not supported";
  if (compression == 4 || compression == 5) return "BMP holding a JPEG or PNG image is not supported";
  if (width == 0 || height == 0) return "BMP of width or height 0";
  if (compression == 0 || compression == 3) {
    const uint64_t row = (uint64_t(width) * bits + 31) / 32 * 4;
    const uint64_t needed = offset + row * static_cast<uint64_t>(height < 0 ? -int64_t(height) : height);
    if (needed > d.size()) return truncated(d.size(), needed, "the " + std::to_string(width) + "x" +
                                                                  std::to_string(height < 0 ? -height : height) +
                                                                  " bitmap");
  }
  return "BMP data the reader refuses";
}

const kv::DdsFormatEntry *ddsEntry(uint32_t flags, uint32_t fourCc, uint32_t bits, const uint32_t masks[4]) {
  for (const kv::DdsFormatEntry &e : kv::ddsFormatTable()) {
    if (flags & 0x4) {
      if ((e.flags & 0x4) && e.fourCc == fourCc) return &e;
    } else if (!(e.flags & 0x4) && e.bitCount == bits && e.mask1 == masks[0] && e.mask2 == masks[1] &&
               e.mask3 == masks[2] && e.mask4 == masks[3]) {
      return &e;
    }
  }
  return nullptr;
}

std::string ddsReason(const std::vector<uint8_t> &d) {
  if (d.size() < 128) return truncated(d.size(), 128, "a DDS header");
  const uint32_t height = get32(d, 12), width = get32(d, 16), depthField = get32(d, 24);
  const uint32_t levels = std::max(1u, get32(d, 28)), flags = get32(d, 80), fourCc = get32(d, 84);
  const uint32_t caps2 = get32(d, 112);
  if ((flags & 0x4) && fourCcText(fourCc) == "DX10") return "DDS files with the extended DX10 header are not supported";
  const uint32_t masks[4] = {get32(d, 92), get32(d, 96), get32(d, 100), get32(d, 104)};
  const kv::DdsFormatEntry *entry = ddsEntry(flags, fourCc, get32(d, 88), masks);
  if (!entry) {
    if (flags & 0x4) return "DDS pixel format '" + fourCcText(fourCc) + "' is not one the library reads";
    return "DDS pixel format of " + std::to_string(get32(d, 88)) + " bits with these masks is not one the library reads";
  }
  if (width == 0 || height == 0) return "DDS of width or height 0";
  const bool volume = (caps2 & 0x200000) != 0;
  const uint32_t faces = (caps2 & 0x200) ? 6 : 1, depth = volume ? std::max(1u, depthField) : 1;
  uint64_t needed = 128 + ((entry->flags & 0x20) ? 1024 : 0);
  for (uint32_t f = 0; f < faces; ++f) {
    for (uint32_t l = 0; l < levels && l < 32; ++l) {
      const kv::DdsLevelLayout layout =
          kv::ddsLevelLayout(*entry, std::max(1u, width >> l), std::max(1u, height >> l));
      needed += layout.sliceBytes * std::max(1u, depth >> l);
    }
  }
  if (needed > d.size()) {
    return truncated(d.size(), needed, "the " + std::to_string(width) + "x" + std::to_string(height) + " " +
                                           formatName(entry->format) + " image with " + std::to_string(levels) +
                                           (levels == 1 ? " level" : " levels"));
  }
  return "DDS data the reader refuses";
}

// Walks the chunks: the first one running past the end shows where the file was cut.
std::string pngReason(const std::vector<uint8_t> &d) {
  size_t at = 8;
  while (at + 8 <= d.size()) {
    const uint64_t length = get32be(d, at);
    const std::string type(reinterpret_cast<const char *>(&d[at + 4]), 4);
    if (at + 12 + length > d.size()) return truncated(d.size(), at + 12 + length, "chunk " + type);
    if (type == "IHDR" && length >= 13) {
      const uint32_t bits = d[at + 16], colour = d[at + 17];
      if (get32be(d, at + 8) == 0 || get32be(d, at + 12) == 0) return "PNG of width or height 0";
      (void)bits;
      (void)colour;
    }
    if (type == "IEND") break;
    at += 12 + length;
  }
  if (at + 8 > d.size() && at != d.size()) return truncated(d.size(), at + 8, "the next chunk header");
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (png_image_begin_read_from_memory(&image, d.data(), d.size())) {
    image.format = PNG_FORMAT_RGBA;
    std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(image));
    if (png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) return "PNG data the reader refuses";
  }
  std::string reason = std::string("PNG: ") + image.message;
  png_image_free(&image);
  return reason;
}

// libjpeg's own account of the data, after the checks of the frame header it cannot make.
std::string jpegReason(const std::vector<uint8_t> &d) {
  for (size_t at = 2; at + 9 < d.size();) {
    if (d[at] != 0xFF) break;
    const uint8_t marker = d[at + 1];
    if (marker == 0xD8 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
      at += 2;
      continue;
    }
    const uint32_t length = uint32_t(d[at + 2]) << 8 | d[at + 3];
    const bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
    if (frame) {
      if (marker == 0xC3 || marker == 0xC7 || marker == 0xCB || marker == 0xCF) return "lossless JPEG is not supported";
      if (d[at + 4] != 8) return std::to_string(d[at + 4]) + "-bit JPEG samples are not supported";
      if (d[at + 9] == 4) return "CMYK (four-component) JPEG images are not supported";
      break;
    }
    at += 2 + length;
  }
  const std::string message = jpegMessage(d);
  return message.empty() ? "JPEG data the reader refuses" : "JPEG: " + message;
}

// Header text of a portable map: the first `count` whitespace-separated fields after the
// two-letter tag, comments skipped; the offset just past the last one's whitespace.
bool mapHeader(const std::vector<uint8_t> &d, int count, std::vector<std::string> &fields, size_t &end) {
  size_t at = 2;
  while (static_cast<int>(fields.size()) < count) {
    while (at < d.size() && (std::isspace(d[at]) || d[at] == '#')) {
      if (d[at] == '#') {
        while (at < d.size() && d[at] != '\n') ++at;
      } else {
        ++at;
      }
    }
    std::string field;
    while (at < d.size() && !std::isspace(d[at]) && field.size() < 20) field += static_cast<char>(d[at++]);
    if (field.empty()) return false;
    fields.push_back(field);
  }
  end = at + 1;
  return true;
}

std::string mapReason(const std::vector<uint8_t> &d, const char *name, int fieldCount, uint64_t channels,
                      uint64_t bytesPerSample) {
  std::vector<std::string> fields;
  size_t end = 0;
  if (!mapHeader(d, fieldCount, fields, end)) return std::string(name) + ": the header is incomplete";
  for (int i = 0; i < 2; ++i) {
    if (fields[i].find_first_not_of("0123456789") != std::string::npos)
      return std::string(name) + ": the size field '" + fields[i] + "' is not a number";
  }
  const uint64_t width = std::stoull(fields[0]), height = std::stoull(fields[1]);
  if (fieldCount == 3 && fields[2].find_first_not_of("0123456789") == std::string::npos &&
      std::stoull(fields[2]) > 255 && bytesPerSample == 1)
    bytesPerSample = 2;
  const uint64_t needed = end + width * height * channels * bytesPerSample;
  if (needed > d.size()) {
    return truncated(d.size(), needed, std::string("the ") + std::to_string(width) + "x" + std::to_string(height) + " " +
                                           name);
  }
  return std::string(name) + " data the reader refuses";
}

bool looksLikeTga(const std::vector<uint8_t> &d) {
  if (d.size() < 3) return false;
  const uint8_t type = d[2];
  return d[1] <= 1 && (type == 1 || type == 2 || type == 3 || type == 9 || type == 10 || type == 11);
}

std::string tgaReason(const std::vector<uint8_t> &d) {
  if (d.size() < 18) return truncated(d.size(), 18, "a TGA header");
  const uint32_t width = get16(d, 12), height = get16(d, 14), bits = d[16], type = d[2];
  if (bits != 8 && bits != 15 && bits != 16 && bits != 24 && bits != 32)
    return "TGA with " + std::to_string(bits) + " bits per pixel is not supported";
  if (width == 0 || height == 0) return "TGA of width or height 0";
  if (type < 9) {
    const uint64_t map = d[1] ? uint64_t(get16(d, 5)) * ((d[7] + 7) / 8) : 0;
    const uint64_t needed = 18 + d[0] + map + uint64_t(width) * height * ((bits + 7) / 8);
    if (needed > d.size())
      return truncated(d.size(), needed, "the " + std::to_string(width) + "x" + std::to_string(height) + " image");
  }
  return "TGA data the reader refuses";
}

}  // namespace

std::string unreadableReason(const std::string &path) {
  namespace fs = std::filesystem;
  std::error_code error;
  const fs::file_status status = fs::status(path, error);
  if (status.type() == fs::file_type::not_found) return "no such file";
  if (error) return "cannot read: " + error.message();
  if (fs::is_directory(status)) return "is a folder";
  const uintmax_t size = fs::file_size(path, error);
  if (!error && size > 0xFFFFFFFFu) return "larger than 4 GiB, more than the library takes";
  if (!error && size == 0) return "empty file";
  std::FILE *file = std::fopen(path.c_str(), "rb");
  if (!file) return std::string("cannot read: ") + std::strerror(errno);
  std::fclose(file);
  return "cannot read file";
}

std::string refusalReason(const std::vector<uint8_t> &d) {
  static const uint8_t kPng[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (d.size() >= 8 && std::memcmp(d.data(), kPng, 8) == 0) return pngReason(d);
  if (startsWith(d, "\x89PNG")) return "PNG: the 8-byte signature is damaged (line endings converted?)";
  if (d.size() >= 3 && d[0] == 0xFF && d[1] == 0xD8 && d[2] == 0xFF) return jpegReason(d);
  if (startsWith(d, "DDS ")) return ddsReason(d);
  if (startsWith(d, "BM")) return bmpReason(d);
  if (startsWith(d, "#?RADIANCE") || startsWith(d, "#?RGBE")) return "Radiance HDR data the reader refuses";
  if (startsWith(d, "PF")) return mapReason(d, "PFM", 3, 3, 4);
  if (startsWith(d, "Pf")) return mapReason(d, "PFM", 3, 1, 4);
  if (startsWith(d, "P6")) return mapReason(d, "PPM", 3, 3, 1);
  if (startsWith(d, "P5")) return mapReason(d, "PGM", 3, 1, 1);
  if (startsWith(d, "GIF8")) return std::string("GIF images are not read: ") + kReadable;
  if (startsWith(d, "II*") || startsWith(d, "MM")) return std::string("TIFF images are not read: ") + kReadable;
  if (startsWith(d, "RIFF") && d.size() >= 12 && std::memcmp(&d[8], "WEBP", 4) == 0)
    return std::string("WebP images are not read: ") + kReadable;
  if (startsWith(d, "\xABKTX")) return std::string("KTX textures are not read: ") + kReadable;
  if (looksLikeTga(d)) return tgaReason(d);
  char start[32] = "";
  for (size_t i = 0; i < std::min<size_t>(4, d.size()); ++i)
    std::snprintf(start + std::strlen(start), sizeof start - std::strlen(start), "%s%02X", i ? " " : "", d[i]);
  return std::string("unknown file type (begins with ") + start + "): " + kReadable;
}

}  // namespace kvtex
