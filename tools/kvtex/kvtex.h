// kvtex: the library's texture pipeline on the command line. Each command runs the
// library's own readers, conversion engine and texture rules (on the stand-in device).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "gfx/platform.h"
#include "texload/decoded_image.h"

namespace kvtex {

// ---- format names (format_names.cpp)

// "D3DFMT_DXT1" for D3DFMT_DXT1; the private 16-bit codes get their own names; an unknown
// number gets "unknown".
std::string formatName(uint32_t format);
// Accepts "D3DFMT_A8R8G8B8" or "A8R8G8B8" in any case; nullopt for an unknown name.
std::optional<uint32_t> parseFormatName(const std::string &name);
// "bmp", "jpg", ... for an ImageFileFormat.
const char *fileFormatName(kv::ImageFileFormat format);
const char *resourceTypeName(uint32_t resourceType);
// A short readable text for a failure code ("invalid data", "not available", ...).
std::string errorText(HRESULT code);
// "0x88760B59".
std::string errorCode(HRESULT code);
// True for the palettised formats (P8, A8P8), by the library's format table.
bool hasPalette(uint32_t format);

// ---- pixels (pixels.cpp)

// A file read whole; nullopt when it cannot be read or is too large for the library.
std::optional<std::vector<uint8_t>> readFile(const std::string &path);

// A region of pixels in any format the engine knows, turned into A8R8G8B8 words (top row
// first) by the library's conversion engine. palette: 256 entries of red, green, blue,
// alpha, or null.
HRESULT convertToArgb(const uint8_t *pixels, uint32_t format, uint32_t rowPitch, const uint8_t *palette,
                      uint32_t width, uint32_t height, std::vector<uint32_t> &argb);

// Writes A8R8G8B8 words as an 8-bit RGBA PNG file. Empty on success, else the reason.
std::string writeArgbPng(const std::string &path, const std::vector<uint32_t> &argb, uint32_t width,
                         uint32_t height);

// ---- the stand-in device (stand_in_device.cpp)

// The capability profiles the texture commands can run under.
bool isCapsProfile(const std::string &name);

// One device of the stand-in runtime with the profile's texture capabilities; owns the
// Direct3D object and the device.
class StandInDevice {
 public:
  StandInDevice() = default;
  StandInDevice(const StandInDevice &) = delete;
  StandInDevice &operator=(const StandInDevice &) = delete;
  ~StandInDevice();
  HRESULT open(const std::string &capsProfile);
  IDirect3DDevice9 *get() const { return device_; }

 private:
  IDirect3D9 *d3d_ = nullptr;
  IDirect3DDevice9 *device_ = nullptr;
};

// Level `level` of a texture as A8R8G8B8 words; palette for palettised textures or null.
HRESULT textureLevelToArgb(IDirect3DTexture9 *texture, UINT level, const PALETTEENTRY *palette,
                           std::vector<uint32_t> &argb, uint32_t &width, uint32_t &height);

// ---- DDS output (dds_writer.cpp)

// Writes every level of the texture as a DDS file in the texture's own format. palette is
// written for palettised formats. Empty on success, else the reason.
std::string writeTextureDds(const std::string &path, IDirect3DTexture9 *texture, const PALETTEENTRY *palette);

// ---- batches (batch.cpp)

// Runs `work` on every file: a progress line on standard error when it is a terminal, a
// summary at the end of a batch of more than one file. `work` returns false for a failed
// file (and has said why). Returns the process exit status: 0, or 1 if any file failed.
int runBatch(const std::vector<std::string> &files, const std::function<bool(const std::string &, size_t)> &work);

// Where the output of file `index` goes: `output` itself for a single file; for a batch,
// a file named after the input inside the folder `output` (made when missing).
std::string outputPath(const std::string &output, const std::string &file, size_t count, const std::string &extension);

// Prints "kvtex: FILE: MESSAGE" on standard error (a failure, or a note about the file).
void reportFile(const std::string &file, const std::string &message);

}  // namespace kvtex
