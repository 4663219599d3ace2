// kvtex: the library's texture pipeline on the command line. Each command runs the
// library's own readers, conversion engine and texture rules (on the stand-in device).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "gfx/com_ref.h"
#include "gfx/platform.h"
#include "texload/decoded_image.h"
#include "texload/image_info.h"

namespace kvtex {

// ---- format names (format_names.cpp)

// "D3DFMT_DXT1" for D3DFMT_DXT1; the private 16-bit codes get their own names; an unknown
// number gets "unknown".
std::string formatName(uint32_t format);
// Accepts "D3DFMT_A8R8G8B8", "A8R8G8B8" or an alias ("BC1", "BGRA8") in any case; nullopt
// for an unknown name.
std::optional<uint32_t> parseFormatName(const std::string &name);
// "unknown format DXT6; did you mean DXT1, DXT2, DXT3? ..." for a name parseFormatName
// does not know.
std::string unknownFormatText(const std::string &name);
// The aliases of a format ("BC1" for D3DFMT_DXT1), and every named format.
std::vector<std::string> formatAliases(uint32_t format);
std::vector<uint32_t> allFormats();
// "bmp", "jpg", ... for an ImageFileFormat.
const char *fileFormatName(kv::ImageFileFormat format);
const char *resourceTypeName(uint32_t resourceType);
// A short readable text for a failure code ("invalid data", "not available", ...).
std::string errorText(HRESULT code);
// "0x88760B59".
std::string errorCode(HRESULT code);
// True for the palettised formats (P8, A8P8), by the library's format table.
bool hasPalette(uint32_t format);

// ---- refusal reasons (refusal_reasons.cpp)

// Why the file cannot be read ("no such file", "is a folder", "empty file", ...).
std::string unreadableReason(const std::string &path);
// Why the readers refused the file's bytes, as far as its signature and header fields,
// or the JPEG and PNG libraries, tell ("truncated at byte N: ...", "12-bit JPEG samples
// are not supported", "unknown file type ...").
std::string refusalReason(const std::vector<uint8_t> &data);

// ---- JPEG through libjpeg (jpeg_peek.cpp)

// libjpeg's first error or warning while decoding the data; empty when it has none.
std::string jpegMessage(const std::vector<uint8_t> &data);
// The size and output components a JPEG file's headers give, without decoding a scan.
// False when libjpeg refuses the headers or the samples are not 8-bit.
bool jpegHeader(const std::vector<uint8_t> &data, uint32_t &width, uint32_t &height, uint32_t &components);

// ---- pixels (pixels.cpp)

// A file read whole; nullopt when it cannot be read or is too large for the library.
std::optional<std::vector<uint8_t>> readFile(const std::string &path);

// A whole file mapped read-only: a header read touches only the pages it looks at. Empty
// (bytes() null) when the file cannot be mapped: empty, a folder, over 4 GiB, no mapping.
class MappedFile {
 public:
  explicit MappedFile(const std::string &path);
  ~MappedFile();
  MappedFile(const MappedFile &) = delete;
  MappedFile &operator=(const MappedFile &) = delete;
  const uint8_t *bytes() const { return bytes_; }
  uint32_t size() const { return size_; }

 private:
  const uint8_t *bytes_ = nullptr;
  uint32_t size_ = 0;
};

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
  // Lets the device go; get() opens it again, as each worker process of a batch does (a
  // device is never carried across a fork, nor any helper thread of its rasterizer).
  void close();
  IDirect3DDevice9 *get();

 private:
  std::string profile_;
  IDirect3D9 *d3d_ = nullptr;
  IDirect3DDevice9 *device_ = nullptr;
};

// Level `level` of a texture as A8R8G8B8 words; palette for palettised textures or null.
HRESULT textureLevelToArgb(IDirect3DTexture9 *texture, UINT level, const PALETTEENTRY *palette,
                           std::vector<uint32_t> &argb, uint32_t &width, uint32_t &height);

// ---- textures at the source's size, with its faces or slices (texture_build.cpp)

// What a texture is made of: one 2D surface chain, six cube faces (each the top of its
// level chain), one volume chain, or the slices of a volume (one 2D surface each).
struct TextureSource {
  D3DRESOURCETYPE type = D3DRTYPE_TEXTURE;
  std::vector<const kv::DecodedImage *> surfaces;
};

struct BuildRequest {
  uint32_t width = 0, height = 0, depth = 1;
  uint32_t levels = 0;  // 0: the full chain
  uint32_t format = 0;  // the device may settle on the closest one it takes
  DWORD filter = 0xFFFFFFFFu, mipFilter = 0xFFFFFFFFu;
  D3DCOLOR key = 0;
  bool highQuality = false;  // block formats by libsquish's cluster fit
  bool opaque = false;       // every alpha 255 before encoding (DXT1 keeps every pixel)
};

struct BuiltTexture {
  D3DRESOURCETYPE type = D3DRTYPE_TEXTURE;
  kv::ComRef<IDirect3DTexture9> texture;
  kv::ComRef<IDirect3DCubeTexture9> cube;
  kv::ComRef<IDirect3DVolumeTexture9> volume;
  std::vector<PALETTEENTRY> palette;  // 256 entries for palettised formats
  uint32_t width = 0, height = 0, depth = 1, levels = 0, format = 0;
  IDirect3DBaseTexture9 *base() const;
};

// Levels of a full chain down to 1x1x1.
uint32_t fullChainLength(uint32_t width, uint32_t height, uint32_t depth);

// Makes the texture on the device and fills it. Empty on success, else the reason.
std::string buildTexture(IDirect3DDevice9 *device, const TextureSource &source, const BuildRequest &request,
                         BuiltTexture &built);

// ---- --quality high and --opaque (block_encode.cpp)

// True when kvtex is built with libsquish.
bool highQualityAvailable();
// buildTexture's texture made through an A8R8G8B8 stage: alpha set opaque when asked,
// then encoded by libsquish (high quality, DXT1, DXT3, DXT5) or the library's encoder.
std::string buildEncodedTexture(IDirect3DDevice9 *device, const TextureSource &source, const BuildRequest &request,
                                BuiltTexture &built);

// ---- DDS output (dds_writer.cpp)

// Writes every face, slice and level of the texture as a DDS file in the texture's own
// format; "-" writes to standard output. Empty on success, else the reason.
std::string writeTextureDds(const std::string &path, const BuiltTexture &texture);

// ---- contact sheets (sheet.cpp)

struct SheetCell {
  std::vector<uint32_t> argb;
  uint32_t width = 0, height = 0;
  std::string label;          // "L0", "+X L1", "L0 S3"
  uint32_t column = 0, row = 0;  // in its block's grid
};
// One level: a cell, a cube's cross of six, or a volume level's row of slices.
struct SheetBlock {
  std::vector<SheetCell> cells;
};

// Every level, face and slice of a decoded file, as blocks; toArgb converts slice z of a
// record. A surface that does not convert is a black cell, named in `problems`.
std::vector<SheetBlock> sheetBlocks(const kv::DecodedImage &top, std::vector<std::string> &problems,
                                    const std::function<HRESULT(const kv::DecodedImage &, uint32_t,
                                                                std::vector<uint32_t> &)> &toArgb);
// The blocks side by side (one under another when `vertical`), each cell under its label.
std::vector<uint32_t> layoutSheet(const std::vector<SheetBlock> &blocks, bool vertical, uint32_t &width,
                                  uint32_t &height);

// ---- outputs (outputs.cpp)

// The output of each file: `output` itself for one file (a missing folder is made when
// written); inside the folder `output` (a trailing "/" or an existing folder) each file's
// path below the folder holding all inputs, with `extension` added. "-" is standard
// output, for one file. Empty on success, else the reason (nothing has been written).
std::string planOutputs(const std::string &output, const std::vector<std::string> &files,
                        const std::string &extension, std::vector<std::string> &paths);

// Writes the bytes to the file (making its folder) or, for "-", to standard output. Empty
// on success, else the reason.
std::string writeOutput(const std::string &path, const std::vector<uint8_t> &bytes);

// ---- JSON lines (json_lines.cpp)

using Json = nlohmann::ordered_json;

// Prints one JSON line on standard output, or on standard error once an image goes to
// standard output.
void printLine(const Json &line);
void setLinesToErrors(bool toErrors);
// A file name as JSON text: bytes that are not well-formed UTF-8 become \xHH.
std::string jsonText(const std::string &name);
// A failed file: "kvtex: FILE: REASON" on standard error and {"file", "error", "code"}
// (code: the library's, when it refused) as a JSON line.
void failFile(const std::string &file, const std::string &reason, const std::string &code = {});
// "DXT1" for a FourCC-coded format; empty for a numbered one.
std::string fourCcText(uint32_t format);
// Sets "format" (name), "formatCode" and, for FourCC-coded formats, "fourCC".
void addFormat(Json &line, uint32_t format);

// ---- batches (batch.cpp)

// Runs `work` on every file, over `jobs` worker processes when more than one (each file's
// lines are printed in input order all the same): a progress line on standard error when
// it is a terminal, a summary at the end of a batch of more than one file. `work` returns
// false for a failed file (and has said why). Returns the process exit status: 0, or 1 if
// any file failed.
int runBatch(const std::vector<std::string> &files, const std::function<bool(const std::string &, size_t)> &work,
             size_t jobs = 1);

// The processors online: the default for -j.
size_t defaultJobs();

// Standard output and standard error text of a file's work (kept for the parent while a
// worker process runs the file).
void emitOut(const std::string &text);
void emitErrors(const std::string &text);

// Prints "kvtex: FILE: MESSAGE" on standard error (a failure, or a note about the file).
void reportFile(const std::string &file, const std::string &message);

// Within a long file, on a terminal: "[i/n] FILE: STEP" as the progress line, at most ten
// times a second. Nothing when standard error is not a terminal or a worker runs the file.
void reportProgress(const std::string &step);

// ---- decoded files (decoded_file.cpp)

// A decoded file that releases its records on every path.
struct Decoded {
  std::vector<uint8_t> file;  // DDS and some other records point into it
  kv::DecodedImage image;
  kv::ImageInfo info;
  Decoded() { kv::clearDecodedImage(image); }
  ~Decoded() { kv::releaseDecodedImage(image); }
  Decoded(const Decoded &) = delete;
  Decoded &operator=(const Decoded &) = delete;
};

// A library failure in words: for data no reader takes, what the tool can tell of why.
std::string libraryReason(HRESULT code, const std::vector<uint8_t> &data);

// Reads and decodes the file, pixels included unless only the header is wanted; false when
// it cannot, said on standard error and as a JSON line.
bool decodeReported(const std::string &file, Decoded &decoded, bool pixels = true);

// ---- info, decode, sheet and compare (image_commands.cpp)

struct DecodeOptions {
  std::string output;
  uint32_t face = 0, level = 0, slice = 0;
};

// One JSON line of the file's header; with `check` the pixels are decoded too.
bool infoOne(const std::string &file, bool check);
// One surface of the file as an 8-bit RGBA PNG.
bool decodeOne(const std::string &file, const std::string &out, const DecodeOptions &options);
// Every level, face and slice of the file on one labelled PNG.
bool sheetOne(const std::string &file, const std::string &out);
// PSNR per channel of image B against image A; the exit status.
int compareImages(const std::vector<std::string> &files, const std::string &output, const DecodeOptions &options);

// ---- texture, convert, cube and volume (texture_commands.cpp)

struct TextureOptions {
  std::string output;
  std::string width = "image", height = "image", levels = "0", format = "A8R8G8B8";
  std::string filter = "linear", mipFilter = "linear", key, caps = "default";
  bool dither = false;
  std::string quality = "normal";
  bool opaque = false;
};

// The options as the texture loader takes them.
struct LoaderArguments {
  UINT width, height, levels;
  D3DFORMAT format;
  DWORD filter, mipFilter;
  D3DCOLOR key;
  bool highQuality = false, opaque = false;
};

// Settles the arguments and opens the device; exit status 2 (said) when either fails.
int prepareTextureCommand(const TextureOptions &options, LoaderArguments &args, StandInDevice &device);
// The texture the loader makes of the file, every level written as PREFIX-LEVEL.png.
bool textureOne(const std::string &file, const std::string &prefix, IDirect3DDevice9 *device,
                const LoaderArguments &args);
// The file as a DDS file at its own size, faces and slices kept.
bool convertOne(const std::string &file, const std::string &out, IDirect3DDevice9 *device,
                const LoaderArguments &args);
// A cube map from six images or a volume from its slices; the exit status.
int assembleCommand(const std::vector<std::string> &files, const std::string &output, D3DRESOURCETYPE type,
                    const LoaderArguments &args, IDirect3DDevice9 *device);
// Plans every output before anything is written; exit status 2 (said) when two collide.
int planOrRefuse(const std::string &output, const std::vector<std::string> &files, const std::string &extension,
                 std::vector<std::string> &paths);

}  // namespace kvtex
