// kvtex info | decode | texture | convert | cube | volume | formats | help: what the library makes of image files.
#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>

#include "gfx/com_ref.h"
#include "kvtex.h"
#include "pixel/convert/filter_flags.h"
#include "texload/dds_format.h"
#include "texload/decode_image.h"
#include "texload/texture_from_memory.h"
#include "pixel/power_of_two.h"
#include "texload/texture_requirements.h"

namespace kvtex {
namespace {

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
std::string libraryReason(HRESULT code, const std::vector<uint8_t> &data) {
  return code == kv::ERR_INVALIDDATA ? refusalReason(data) : errorText(code);
}

// Reads and decodes the file, pixels included unless only the header is wanted (the
// texture loader decodes them too, so a file whose header reads but whose pixels do not is
// refused here as there). The failure line when it cannot: "error" says why, "code" is the
// library's code when it refused.
std::optional<Json> decodeFile(const std::string &file, Decoded &decoded, bool pixels = true) {
  auto data = readFile(file);
  if (!data || data->empty()) return Json{{"file", file}, {"error", unreadableReason(file)}};
  decoded.file = std::move(*data);
  const HRESULT hr = kv::decodeImage(decoded.image, decoded.file.data(), static_cast<uint32_t>(decoded.file.size()),
                                     &decoded.info, pixels ? TRUE : FALSE);
  if (FAILED(hr)) return Json{{"file", file}, {"error", libraryReason(hr, decoded.file)}, {"code", errorCode(hr)}};
  return std::nullopt;
}

// decodeFile with the failure said on standard error.
bool decodeReported(const std::string &file, Decoded &decoded, bool pixels = true) {
  if (const std::optional<Json> failure = decodeFile(file, decoded, pixels)) {
    failFile(file, (*failure)["error"].get<std::string>(), failure->value("code", ""));
    return false;
  }
  return true;
}

// ---------------------------------------------------------------- info

// A JPEG's line from its headers alone, as the reader describes one- and three-component
// files; nullopt for anything else (the reader then has its say).
std::optional<Json> jpegInfo(const std::string &file) {
  std::FILE *in = std::fopen(file.c_str(), "rb");
  if (!in) return std::nullopt;
  // The headers lie in front of the first scan; 256 KiB holds them but for huge ICC
  // profiles or thumbnails, for which the library's reader is asked after all.
  std::vector<uint8_t> data(256 * 1024);
  data.resize(std::fread(data.data(), 1, data.size(), in));
  std::fclose(in);
  uint32_t width = 0, height = 0, components = 0;
  if (data.size() < 3 || data[0] != 0xFF || data[1] != 0xD8 || data[2] != 0xFF) return std::nullopt;
  if (!jpegHeader(data, width, height, components) || (components != 1 && components != 3)) return std::nullopt;
  Json line{{"file", jsonText(file)}, {"width", width}, {"height", height}, {"depth", 1}, {"levels", 1}};
  addFormat(line, components == 1 ? D3DFMT_L8 : D3DFMT_X8R8G8B8);
  line["resourceType"] = "texture";
  line["fileFormat"] = "jpg";
  return line;
}

// The readers read headers only unless `check` asks for the pixels too; a JPEG's headers
// are read by libjpeg here, as the reader would decode the whole of a progressive file.
bool infoOne(const std::string &file, bool check) {
  if (!check) {
    if (const std::optional<Json> line = jpegInfo(file)) {
      printLine(*line);
      return true;
    }
  }
  Decoded decoded;
  bool described = false;
  if (!check) {
    // The header from the mapped file; a refusal is read again below to say why.
    const MappedFile mapped(file);
    described = mapped.bytes() &&
                SUCCEEDED(kv::decodeImage(decoded.image, mapped.bytes(), mapped.size(), &decoded.info, FALSE));
  }
  if (!described && !decodeReported(file, decoded, check)) return false;
  const kv::ImageInfo &info = decoded.info;
  Json line{{"file", jsonText(file)},
            {"width", info.width},
            {"height", info.height},
            {"depth", info.depth},
            {"levels", info.mipLevels}};
  addFormat(line, static_cast<uint32_t>(info.format));
  line["resourceType"] = resourceTypeName(info.resourceType);
  line["fileFormat"] = fileFormatName(info.fileFormat);
  printLine(line);
  return true;
}

// ---------------------------------------------------------------- decode

struct DecodeOptions {
  std::string output;
  uint32_t face = 0, level = 0, slice = 0;
};

// One surface of the decoded file as A8R8G8B8 words; empty on success, else the reason.
std::string surfaceToArgb(const Decoded &decoded, const DecodeOptions &options, std::vector<uint32_t> &argb,
                          const kv::DecodedImage *&chosen) {
  const kv::DecodedImage *record = &decoded.image;
  for (uint32_t i = 0; i < options.face && record; ++i) record = record->nextFace;
  if (!record) return "has no face " + std::to_string(options.face);
  for (uint32_t i = 0; i < options.level && record; ++i) record = record->nextMip;
  if (!record) return "has no level " + std::to_string(options.level);
  if (options.slice >= record->depth) return "has no slice " + std::to_string(options.slice);
  const uint8_t *pixels = record->pixels + static_cast<size_t>(options.slice) * record->slicePitch;
  if (HRESULT c = convertToArgb(pixels, record->format, record->rowPitch, record->palette, record->width,
                                record->height, argb);
      FAILED(c)) {
    return "cannot convert " + formatName(record->format) + ": " + errorText(c);
  }
  chosen = record;
  return {};
}

bool decodeOne(const std::string &file, const std::string &out, const DecodeOptions &options) {
  Decoded decoded;
  if (!decodeReported(file, decoded)) return false;
  std::vector<uint32_t> argb;
  const kv::DecodedImage *record = nullptr;
  if (std::string error = surfaceToArgb(decoded, options, argb, record); !error.empty()) {
    failFile(file, error);
    return false;
  }
  if (std::string error = writeArgbPng(out, argb, record->width, record->height); !error.empty()) {
    failFile(file, error);
    return false;
  }
  Json line{{"file", jsonText(file)}, {"outputs", Json::array({jsonText(out)})}, {"width", record->width},
            {"height", record->height}};
  addFormat(line, record->format);
  printLine(line);
  return true;
}

// ---------------------------------------------------------------- sheet

bool sheetOne(const std::string &file, const std::string &out) {
  Decoded decoded;
  if (!decodeReported(file, decoded)) return false;
  std::vector<std::string> problems;
  const std::vector<SheetBlock> blocks =
      sheetBlocks(decoded.image, problems, [](const kv::DecodedImage &r, uint32_t z, std::vector<uint32_t> &argb) {
        return convertToArgb(r.pixels + size_t(z) * r.slicePitch, r.format, r.rowPitch, r.palette, r.width,
                             r.height, argb);
      });
  for (const std::string &problem : problems) reportFile(file, "note: " + problem);
  uint32_t width = 0, height = 0;
  const std::vector<uint32_t> sheet =
      layoutSheet(blocks, decoded.image.resourceType == D3DRTYPE_VOLUMETEXTURE, width, height);
  if (std::string error = writeArgbPng(out, sheet, width, height); !error.empty()) {
    failFile(file, error);
    return false;
  }
  size_t cells = 0;
  for (const SheetBlock &b : blocks) cells += b.cells.size();
  Json line{{"file", jsonText(file)}, {"outputs", Json::array({jsonText(out)})}, {"width", width},
            {"height", height}, {"levels", blocks.size()}, {"cells", cells}};
  line["resourceType"] = resourceTypeName(decoded.image.resourceType);
  printLine(line);
  return true;
}

// ---------------------------------------------------------------- compare

// PSNR of each channel of B against A (null where they agree), the largest difference,
// and a difference image: each channel's difference times 8, on opaque black.
int compareImages(const std::vector<std::string> &files, const std::string &output, const DecodeOptions &options) {
  if (files.size() != 2) {
    std::fprintf(stderr, "kvtex: compare takes two images, A and B; %zu given\n", files.size());
    return 2;
  }
  Decoded decoded[2];
  std::vector<uint32_t> argb[2];
  const kv::DecodedImage *record[2] = {};
  for (int i = 0; i < 2; ++i) {
    if (!decodeReported(files[i], decoded[i])) return 1;
    if (std::string error = surfaceToArgb(decoded[i], options, argb[i], record[i]); !error.empty()) {
      failFile(files[i], error);
      return 1;
    }
  }
  if (record[0]->width != record[1]->width || record[0]->height != record[1]->height) {
    failFile(files[1], "is " + std::to_string(record[1]->width) + "x" + std::to_string(record[1]->height) + ", " +
                           files[0] + " " + std::to_string(record[0]->width) + "x" +
                           std::to_string(record[0]->height) + ": only images of one size compare");
    return 1;
  }
  static constexpr const char *kChannels[4] = {"r", "g", "b", "a"};
  static constexpr int kShift[4] = {16, 8, 0, 24};
  double squares[4] = {};
  int largest[4] = {};
  std::vector<uint32_t> difference(argb[0].size());
  for (size_t p = 0; p < argb[0].size(); ++p) {
    uint32_t shown = 0xFF000000u;
    for (int c = 0; c < 4; ++c) {
      const int d = std::abs(int(argb[0][p] >> kShift[c] & 0xFF) - int(argb[1][p] >> kShift[c] & 0xFF));
      squares[c] += double(d) * d;
      largest[c] = std::max(largest[c], d);
      // Alpha's difference shows as white in all three colours where no colour differs.
      if (c < 3) shown |= uint32_t(std::min(255, d * 8)) << kShift[c];
    }
    const int alpha = std::abs(int(argb[0][p] >> 24) - int(argb[1][p] >> 24));
    if ((shown & 0xFFFFFF) == 0 && alpha) shown |= 0x010101u * uint32_t(std::min(255, alpha * 8));
    difference[p] = shown;
  }
  Json psnr, maxDifference;
  double total = 0;
  for (int c = 0; c < 4; ++c) {
    const double mse = squares[c] / double(argb[0].size());
    total += squares[c];
    psnr[kChannels[c]] = mse == 0 ? Json(nullptr) : Json(10.0 * std::log10(255.0 * 255.0 / mse));
    maxDifference[kChannels[c]] = largest[c];
  }
  const double mseRgb = (squares[0] + squares[1] + squares[2]) / (3.0 * double(argb[0].size()));
  Json line{{"files", Json::array({jsonText(files[0]), jsonText(files[1])})},
            {"width", record[0]->width},
            {"height", record[0]->height},
            {"psnr", psnr},
            {"psnrRgb", mseRgb == 0 ? Json(nullptr) : Json(10.0 * std::log10(255.0 * 255.0 / mseRgb))},
            {"maxDifference", maxDifference},
            {"identical", total == 0}};
  if (!output.empty()) {
    if (std::string error = writeArgbPng(output, difference, record[0]->width, record[0]->height); !error.empty()) {
      failFile(files[1], error);
      return 1;
    }
    line["outputs"] = Json::array({jsonText(output)});
  }
  printLine(line);
  return 0;
}

// ---------------------------------------------------------------- texture and convert

struct TextureOptions {
  std::string output;
  std::string width = "image", height = "image", levels = "0", format = "A8R8G8B8";
  std::string filter = "linear", mipFilter = "linear", key, caps = "default";
  bool dither = false;
  std::string quality = "normal";
  bool opaque = false;
};

// A size or level count: a number, or one of the loader's special values by name.
std::optional<UINT> parseCount(const std::string &text, UINT image) {
  if (text == "image") return image;
  if (text == "default") return kv::VALUE_DEFAULT;
  if (text == "nonpow2") return kv::VALUE_DEFAULT_NONPOW2;
  if (text == "file") return kv::VALUE_FROM_FILE;
  if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos || text.size() > 9)
    return std::nullopt;
  return static_cast<UINT>(std::stoul(text));
}

std::optional<DWORD> parseFilter(const std::string &text, bool dither) {
  static const std::pair<const char *, DWORD> kFilters[] = {{"none", kv::FilterNone},
                                                            {"point", kv::FilterPoint},
                                                            {"linear", kv::FilterLinear},
                                                            {"triangle", kv::FilterTriangle},
                                                            {"box", kv::FilterBox}};
  if (text == "default") return 0xFFFFFFFFu;
  for (const auto &[name, code] : kFilters) {
    if (text == name) return code | (dither ? kv::Dither : 0);
  }
  return std::nullopt;
}

std::optional<D3DCOLOR> parseKey(const std::string &text) {
  if (text.empty()) return 0;
  if (text.size() != 8 || text.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) return std::nullopt;
  return static_cast<D3DCOLOR>(std::stoul(text, nullptr, 16));
}

struct LoaderArguments {
  UINT width, height, levels;
  D3DFORMAT format;
  DWORD filter, mipFilter;
  D3DCOLOR key;
  bool highQuality = false, opaque = false;
};

// The options as the texture loader's arguments; the reason when one is malformed. The
// width and height "image" stand for the image's own size, as the texture list passes it.
std::string loaderArguments(const TextureOptions &o, LoaderArguments &args) {
  const auto width = parseCount(o.width, kv::VALUE_DEFAULT_NONPOW2);
  const auto height = parseCount(o.height, kv::VALUE_DEFAULT_NONPOW2);
  const auto levels = parseCount(o.levels, 0);
  if (!width || !height) return "a size is a number, image, default, nonpow2 or file";
  if (!levels) return "--levels is a number or file";
  const std::optional<uint32_t> format =
      o.format == "file" ? std::optional<uint32_t>(kv::VALUE_FROM_FILE) : parseFormatName(o.format);
  if (!format) return unknownFormatText(o.format);
  const auto filter = parseFilter(o.filter, o.dither), mipFilter = parseFilter(o.mipFilter, o.dither);
  if (!filter || !mipFilter) return "a filter is none, point, linear, triangle, box or default";
  const auto key = parseKey(o.key);
  if (!key) return "--key is eight hexadecimal digits, AARRGGBB";
  args = {*width, *height, *levels, static_cast<D3DFORMAT>(*format), *filter, *mipFilter, *key,
          o.quality == "high", o.opaque};
  if (args.highQuality && !highQualityAvailable()) return "--quality high needs libsquish, which this kvtex lacks";
  return {};
}

// The texture the loader makes of the file; false (reported) when it makes none.
bool loadTexture(const std::string &file, IDirect3DDevice9 *device, const LoaderArguments &args,
                 kv::ComRef<IDirect3DTexture9> &texture, std::vector<PALETTEENTRY> &palette, kv::ImageInfo &info) {
  const auto data = readFile(file);
  if (!data || data->empty()) {
    failFile(file, unreadableReason(file));
    return false;
  }
  // A palettised texture is only made when the caller takes the palette.
  palette.assign(hasPalette(args.format) ? 256 : 0, PALETTEENTRY{});
  const HRESULT hr = kv::createTextureFromImageInMemory(
      device, data->data(), static_cast<UINT>(data->size()), args.width, args.height, args.levels, 0, args.format,
      D3DPOOL_MANAGED, args.filter, args.mipFilter, args.key, &info, palette.empty() ? nullptr : palette.data(),
      texture.put());
  if (FAILED(hr)) {
    failFile(file, "no texture: " + libraryReason(hr, *data), errorCode(hr));
    return false;
  }
  return true;
}

Json textureLine(const std::string &file, IDirect3DTexture9 *texture) {
  D3DSURFACE_DESC desc{};
  texture->GetLevelDesc(0, &desc);
  Json line{{"file", jsonText(file)},
            {"width", desc.Width},
            {"height", desc.Height},
            {"depth", 1},
            {"levels", texture->GetLevelCount()}};
  addFormat(line, static_cast<uint32_t>(desc.Format));
  line["resourceType"] = "texture";
  return line;
}

// Says on standard error where the loader's rules gave another size or format than asked.
void noteSettled(const std::string &file, const LoaderArguments &args, const kv::ImageInfo &info,
                 const D3DSURFACE_DESC &desc) {
  const auto asked = [](UINT value, UINT image) -> std::optional<UINT> {
    if (value == kv::VALUE_DEFAULT_NONPOW2 || value == kv::VALUE_FROM_FILE) return image;
    if (value == kv::VALUE_DEFAULT) return std::nullopt;  // a power of two was asked for
    return value;
  };
  const auto width = asked(args.width, info.width), height = asked(args.height, info.height);
  if ((width && *width != desc.Width) || (height && *height != desc.Height)) {
    reportFile(file, "note: the loader made " + std::to_string(desc.Width) + "x" + std::to_string(desc.Height) +
                         " of the asked " + std::to_string(width.value_or(desc.Width)) + "x" +
                         std::to_string(height.value_or(desc.Height)) + " (the device's size rules)");
  }
  const uint32_t format = static_cast<uint32_t>(args.format);
  if (format != kv::VALUE_FROM_FILE && format != D3DFMT_UNKNOWN && format != static_cast<uint32_t>(desc.Format)) {
    reportFile(file, "note: the loader made " + formatName(desc.Format) + ", the device's choice for " +
                         formatName(format));
  }
}

bool textureOne(const std::string &file, const std::string &prefix, IDirect3DDevice9 *device,
                const LoaderArguments &args) {
  kv::ComRef<IDirect3DTexture9> texture;
  std::vector<PALETTEENTRY> palette;
  kv::ImageInfo info;
  if (!loadTexture(file, device, args, texture, palette, info)) return false;
  Json line = textureLine(file, texture.get());
  D3DSURFACE_DESC desc{};
  texture->GetLevelDesc(0, &desc);
  noteSettled(file, args, info, desc);
  Json outputs = Json::array();
  for (UINT level = 0; level < texture->GetLevelCount(); ++level) {
    std::vector<uint32_t> argb;
    uint32_t width = 0, height = 0;
    if (HRESULT hr = textureLevelToArgb(texture.get(), level, palette.empty() ? nullptr : palette.data(), argb, width,
                                        height);
        FAILED(hr)) {
      failFile(file, "cannot read level " + std::to_string(level) + ": " + errorText(hr));
      return false;
    }
    const std::string out = prefix + "-" + std::to_string(level) + ".png";
    if (std::string error = writeArgbPng(out, argb, width, height); !error.empty()) {
      failFile(file, error);
      return false;
    }
    outputs.push_back(jsonText(out));
  }
  line["outputs"] = outputs;
  printLine(line);
  return true;
}

// The decoded private 16-bit formats as the loader stores them.
uint32_t storableFormat(uint32_t format) {
  if (format == kv::FMT_A16L16) return D3DFMT_A8L8;
  if (format == kv::FMT_R16G16B16) return D3DFMT_A16B16G16R16;
  return format;
}

// A size for convert, cube and volume: the source's own unless a number is given;
// "default" rounds up to a power of two.
UINT sourceSize(UINT argument, UINT image) {
  if (argument == kv::VALUE_DEFAULT) return kv::roundUpToPowerOfTwo(image);
  if (argument == kv::VALUE_DEFAULT_NONPOW2 || argument == kv::VALUE_FROM_FILE) return image;
  return argument;
}

BuildRequest buildRequest(const LoaderArguments &args, const kv::DecodedImage &top, uint32_t depth) {
  BuildRequest request;
  request.width = sourceSize(args.width, top.width);
  request.height = sourceSize(args.height, top.height);
  request.depth = depth;
  request.levels = args.levels == kv::VALUE_FROM_FILE ? kv::decodedLevelCount(top) : args.levels;
  const auto format = static_cast<uint32_t>(args.format);
  request.format = format == kv::VALUE_FROM_FILE ? storableFormat(top.format) : format;
  request.filter = args.filter;
  request.mipFilter = args.mipFilter;
  request.key = args.key;
  request.highQuality = args.highQuality;
  request.opaque = args.opaque;
  return request;
}

// Builds the texture and writes it as DDS; prints its line (`line` holds the source's keys).
bool writeDdsTexture(const std::string &file, Json line, const std::string &out, IDirect3DDevice9 *device,
                     const TextureSource &source, const BuildRequest &request) {
  BuiltTexture built;
  const bool staged = request.highQuality || request.opaque;
  if (std::string error = staged ? buildEncodedTexture(device, source, request, built)
                                 : buildTexture(device, source, request, built);
      !error.empty()) {
    failFile(file, error);
    return false;
  }
  if (std::string error = writeTextureDds(out, built); !error.empty()) {
    failFile(file, error);
    return false;
  }
  // The device may not take the format asked for; the closest one it takes is written.
  if (built.format != request.format) {
    reportFile(file, "note: written as " + formatName(built.format) + ", the device's choice for " +
                         formatName(request.format));
  }
  line["outputs"] = Json::array({jsonText(out)});
  line["width"] = built.width;
  line["height"] = built.height;
  line["depth"] = built.depth;
  line["levels"] = built.levels;
  addFormat(line, built.format);
  line["resourceType"] = resourceTypeName(built.type);
  printLine(line);
  return true;
}

bool convertOne(const std::string &file, const std::string &out, IDirect3DDevice9 *device,
                const LoaderArguments &args) {
  Decoded decoded;
  if (!decodeReported(file, decoded)) return false;
  const kv::DecodedImage &top = decoded.image;
  TextureSource source;
  source.type = static_cast<D3DRESOURCETYPE>(top.resourceType);
  for (const kv::DecodedImage *face = &top; face && source.surfaces.size() < 6; face = face->nextFace)
    source.surfaces.push_back(face);
  const uint32_t depth = source.type == D3DRTYPE_VOLUMETEXTURE ? top.depth : 1;
  return writeDdsTexture(file, Json{{"file", jsonText(file)}}, out, device, source, buildRequest(args, top, depth));
}

// A cube map from six images (+X, -X, +Y, -Y, +Z, -Z) or a volume from its slices, front
// first. Every image is resampled to the first one's size (or the size asked for).
int assembleCommand(const std::vector<std::string> &files, const std::string &output, D3DRESOURCETYPE type,
                    const LoaderArguments &args, IDirect3DDevice9 *device) {
  if (type == D3DRTYPE_CUBETEXTURE && files.size() != 6) {
    std::fprintf(stderr, "kvtex: a cube map takes six images, +X -X +Y -Y +Z -Z; %zu given\n", files.size());
    return 2;
  }
  std::vector<std::unique_ptr<Decoded>> images;
  TextureSource source;
  source.type = type;
  for (const std::string &file : files) {
    images.push_back(std::make_unique<Decoded>());
    if (!decodeReported(file, *images.back())) return 1;
    source.surfaces.push_back(&images.back()->image);
  }
  const uint32_t depth = type == D3DRTYPE_VOLUMETEXTURE ? static_cast<uint32_t>(files.size()) : 1;
  BuildRequest request = buildRequest(args, images.front()->image, depth);
  if (args.levels == kv::VALUE_FROM_FILE) request.levels = 1;
  Json names = Json::array();
  for (const std::string &file : files) names.push_back(jsonText(file));
  return writeDdsTexture(files.front(), Json{{"files", names}}, output, device, source, request) ? 0 : 1;
}

// Settles the arguments and opens the device; exit status 2 (said) when either fails.
int prepareTextureCommand(const TextureOptions &options, LoaderArguments &args, StandInDevice &device) {
  if (std::string error = loaderArguments(options, args); !error.empty()) {
    std::fprintf(stderr, "kvtex: %s\n", error.c_str());
    return 2;
  }
  if (HRESULT hr = device.open(options.caps); FAILED(hr)) {
    std::fprintf(stderr, "kvtex: no device: %s (%s)\n", errorText(hr).c_str(), errorCode(hr).c_str());
    return 2;
  }
  return 0;
}

// Plans every output before anything is written; exit status 2 (said) when two collide.
int planOrRefuse(const std::string &output, const std::vector<std::string> &files, const std::string &extension,
                 std::vector<std::string> &paths) {
  if (std::string error = planOutputs(output, files, extension, paths); !error.empty()) {
    std::fprintf(stderr, "kvtex: %s\n", error.c_str());
    return 2;
  }
  return 0;
}

// ---------------------------------------------------------------- formats

Json formatLine(uint32_t format) {
  Json line;
  addFormat(line, format);
  line["aliases"] = formatAliases(format);
  line["dds"] = kv::findDdsFormat(format) != nullptr;
  return line;
}

int formatsCommand(const std::vector<std::string> &names) {
  if (names.empty()) {
    for (uint32_t format : allFormats()) printLine(formatLine(format));
    return 0;
  }
  int status = 0;
  for (const std::string &name : names) {
    if (const std::optional<uint32_t> format = parseFormatName(name)) {
      Json line = formatLine(*format);
      line["name"] = jsonText(name);
      printLine(line);
    } else {
      printLine(Json{{"name", jsonText(name)}, {"error", unknownFormatText(name)}});
      status = 1;
    }
  }
  return status;
}

// ---------------------------------------------------------------- arguments

// A single output file whose extension names another image type than the command writes.
std::string contradictingExtension(const std::string &output, size_t files, const std::string &extension) {
  if (files != 1 || output == "-" || output.ends_with('/')) return {};
  std::error_code error;
  if (std::filesystem::is_directory(output, error)) return {};
  std::string given = std::filesystem::path(output).extension().string();
  for (char &c : given) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  static const char *const kImageTypes[] = {".bmp", ".dib", ".dds", ".tga", ".png", ".jpg", ".jpeg",
                                            ".ppm", ".pfm", ".hdr", ".gif", ".tif", ".tiff", ".webp"};
  for (const char *type : kImageTypes) {
    if (given == type && given != extension) {
      return "-o " + output + ": this command writes " + extension.substr(1) + " files, not " + given.substr(1);
    }
  }
  return {};
}

void addEncoderOptions(CLI::App &command, TextureOptions &o) {
  command.add_option("--quality", o.quality, "Block formats: normal (the library's encoder) or high (cluster fit)")
      ->capture_default_str()
      ->check(CLI::IsMember({"normal", "high"}));
  command.add_flag("--opaque", o.opaque, "Every alpha 255 before encoding: DXT1 keeps every pixel opaque");
}

void addTextureOptions(CLI::App &command, TextureOptions &o) {
  command.add_option("--width", o.width, "Texture width: a number, image (the image's own), default, nonpow2 or file")
      ->capture_default_str();
  command.add_option("--height", o.height, "Texture height, as --width")->capture_default_str();
  command.add_option("--filter", o.filter, "Filter for the levels: none, point, linear, triangle, box or default")
      ->capture_default_str();
  command.add_option("--mip-filter", o.mipFilter, "Mipmap filter, as --filter")->capture_default_str();
  command.add_flag("--dither", o.dither, "Ordered dithering when writing the levels");
  command.add_option("--key", o.key, "Colour key AARRGGBB (hexadecimal): matching pixels become transparent black");
  command.add_option("--caps", o.caps, "Device profile: default, pow2, conditional, square or nomip")
      ->capture_default_str()
      ->check(CLI::IsMember({"default", "pow2", "conditional", "square", "nomip"}));
}

}  // namespace

int run(int argc, char **argv) {
  CLI::App app{"kvtex: what the kvPolygon library makes of image files (its own readers, conversion engine and "
               "texture rules, on the stand-in Direct3D 9 device)"};
  app.name("kvtex");
  app.require_subcommand(1);
  app.set_version_flag("--version", "kvtex " KVTEX_VERSION);
  std::vector<std::string> files;

  CLI::App *info = app.add_subcommand("info", "One JSON line per file: size, levels, format, resource and file type");
  info->add_option("files", files, "Image files")->required();
  bool check = false;
  info->add_flag("--check", check, "Decode the pixels too, so a file the texture loader refuses is refused");

  DecodeOptions decode;
  CLI::App *decodeCommand =
      app.add_subcommand("decode", "Write one surface of each file as an 8-bit RGBA PNG, converted by the library");
  decodeCommand->add_option("files", files, "Image files")->required();
  decodeCommand->add_option("-o,--output", decode.output, "PNG file (a folder for several files)")->required();
  decodeCommand->add_option("--face", decode.face, "Cube face, 0-5")->capture_default_str();
  decodeCommand->add_option("--level", decode.level, "Mipmap level held in the file")->capture_default_str();
  decodeCommand->add_option("--slice", decode.slice, "Volume slice")->capture_default_str();

  TextureOptions texture;
  CLI::App *textureCommand = app.add_subcommand(
      "texture", "Make the texture the library makes of each file; write every level as PREFIX-LEVEL.png");
  textureCommand->add_option("files", files, "Image files")->required();
  textureCommand->add_option("-o,--output", texture.output, "Prefix of the level files (a folder for several files)")
      ->required();
  textureCommand->add_option("--levels", texture.levels, "Level count: a number (0 = full chain) or file")
      ->capture_default_str();
  textureCommand->add_option("--format", texture.format, "Texture format, e.g. A8R8G8B8 or D3DFMT_DXT5, or file")
      ->capture_default_str();
  addTextureOptions(*textureCommand, texture);

  TextureOptions convert;
  convert.levels = "1";
  bool mips = false;
  CLI::App *convertCommand = app.add_subcommand(
      "convert", "Write each file as a DDS file in the chosen format: its own size, faces and slices kept");
  convertCommand->add_option("files", files, "Image files")->required();
  convertCommand->add_option("-o,--output", convert.output, "DDS file (a folder for several files)")->required();
  convertCommand->add_option("--format", convert.format, "Format of the DDS file, e.g. R5G6B5 or DXT1, or file")
      ->required();
  CLI::Option *mipsFlag = convertCommand->add_flag("--mips", mips, "Write the full mipmap chain (as --levels 0)");
  convertCommand->add_option("--levels", convert.levels, "Level count: a number (0 = full chain) or file")
      ->capture_default_str()
      ->excludes(mipsFlag);
  addTextureOptions(*convertCommand, convert);

  addEncoderOptions(*convertCommand, convert);

  // cube and volume take convert's options; their size is the first image's.
  TextureOptions assembled;
  assembled.levels = "1";
  CLI::App *cubeCommand = app.add_subcommand("cube", "Assemble a cube map DDS file from six images");
  CLI::App *volumeCommand = app.add_subcommand("volume", "Assemble a volume DDS file from its slices, front first");
  for (CLI::App *command : {cubeCommand, volumeCommand}) {
    command->add_option("files", files, command == cubeCommand ? "Six images: +X -X +Y -Y +Z -Z" : "Slice images")
        ->required();
    command->add_option("-o,--output", assembled.output, "DDS file")->required();
    command->add_option("--format", assembled.format, "Format of the DDS file, e.g. A8R8G8B8 or DXT1")
        ->capture_default_str();
    command->add_option("--levels", assembled.levels, "Level count: a number (0 = full chain)")->capture_default_str();
    command->add_flag("--mips", mips, "Write the full mipmap chain (as --levels 0)");
    addTextureOptions(*command, assembled);
    addEncoderOptions(*command, assembled);
  }

  std::string sheetOutput;
  CLI::App *sheetCommand =
      app.add_subcommand("sheet", "One PNG of every level, face and slice of each file, labelled; a cube as a cross");
  sheetCommand->add_option("files", files, "Image files")->required();
  sheetCommand->add_option("-o,--output", sheetOutput, "PNG file (a folder for several files)")->required();
  sheetCommand->footer("Examples:\n  kvtex sheet sky.dds -o sky-sheet.png\n  kvtex sheet textures/*.dds -o sheets/");

  DecodeOptions compare;
  CLI::App *compareCommand = app.add_subcommand(
      "compare", "PSNR per channel of image B against image A, and a difference image");
  compareCommand->add_option("files", files, "Images A and B")->required();
  compareCommand->add_option("-o,--output", compare.output, "Difference image (PNG)");
  compareCommand->add_option("--face", compare.face, "Cube face, 0-5")->capture_default_str();
  compareCommand->add_option("--level", compare.level, "Mipmap level held in the files")->capture_default_str();
  compareCommand->add_option("--slice", compare.slice, "Volume slice")->capture_default_str();
  compareCommand->footer("Examples:\n  kvtex compare photo.bmp photo.dds -o diff.png\n"
                         "  kvtex compare a.dds b.dds --face 3 --level 1");

  size_t jobs = 0;
  for (CLI::App *command : {info, decodeCommand, textureCommand, convertCommand, sheetCommand}) {
    command->add_option("-j,--jobs", jobs, "Worker processes for a batch (default: one per processor)");
  }
  std::vector<std::string> formatNames;
  CLI::App *formats = app.add_subcommand("formats", "One JSON line per format: name, code, FourCC, aliases, DDS");
  formats->add_option("names", formatNames, "Format names to look up (all formats without)");
  formats->footer("Examples:\n  kvtex formats\n  kvtex formats BC3 rgba8");

  std::string helpTopic;
  CLI::App *help = app.add_subcommand("help", "Help on kvtex or one of its commands");
  help->add_option("command", helpTopic, "A command");
  help->footer("Examples:\n  kvtex help\n  kvtex help convert");

  app.footer("Examples:\n  kvtex info photo.bmp sky.dds\n  kvtex convert photo.png -o photo.dds --format BC1 --mips\n"
             "  kvtex help convert\n\nExit status: 0 all done, 1 a file failed, 2 a usage error.\n"
             "See man kvtex.");
  info->footer("Examples:\n  kvtex info photo.bmp sky.dds\n  kvtex info --check photo.png\n  kvtex info textures/*.dds > sizes.jsonl");
  decodeCommand->footer("Examples:\n  kvtex decode sky.dds -o face2.png --face 2 --level 1\n"
                        "  kvtex decode a.tga b.dds -o pngs/\n  kvtex decode sky.dds -o - | display");
  textureCommand->footer("Examples:\n  kvtex texture photo.bmp -o out/photo --caps pow2\n"
                         "  kvtex texture photo.bmp -o small --width 64 --height 64 --format DXT5");
  convertCommand->footer("Examples:\n  kvtex convert photo.png -o photo.dds --format BC1 --mips\n"
                         "  kvtex convert sky.dds -o sky8.dds --format A8R8G8B8 --levels file\n"
                         "  kvtex convert textures/*.tga -o dds/ --format DXT5 --levels 4");
  cubeCommand->footer("Examples:\n  kvtex cube px.png nx.png py.png ny.png pz.png nz.png -o sky.dds --format DXT1 --mips");
  volumeCommand->footer("Examples:\n  kvtex volume z0.bmp z1.bmp z2.bmp z3.bmp -o fog.dds --levels 0");
  try {
    app.parse(argc, argv);
  } catch (const CLI::Success &e) {
    return app.exit(e);  // --help, --version
  } catch (const CLI::ParseError &e) {
    app.exit(e);
    return 2;
  }

  if (help->parsed()) {
    if (helpTopic.empty()) {
      std::cout << app.help();
      return 0;
    }
    for (CLI::App *command : app.get_subcommands({})) {
      if (command->get_name() == helpTopic) {
        std::cout << command->help("kvtex");
        return 0;
      }
    }
    std::fprintf(stderr, "kvtex: no command %s (kvtex help lists them)\n", helpTopic.c_str());
    return 2;
  }
  if (formats->parsed()) return formatsCommand(formatNames);
  if (compareCommand->parsed()) {
    if (std::string error = contradictingExtension(compare.output, 1, ".png");
        !compare.output.empty() && !error.empty()) {
      std::fprintf(stderr, "kvtex: %s\n", error.c_str());
      return 2;
    }
    setLinesToErrors(compare.output == "-");
    return compareImages(files, compare.output, compare);
  }
  if (jobs > 1024) {
    std::fprintf(stderr, "kvtex: -j %zu: at most 1024 worker processes\n", jobs);
    return 2;
  }

  const size_t jobCount = jobs == 0 ? defaultJobs() : jobs;
  if (info->parsed()) {
    return runBatch(files, [&](const std::string &file, size_t) { return infoOne(file, check); }, jobCount);
  }
  if (sheetCommand->parsed()) {
    std::vector<std::string> outputs;
    if (std::string error = contradictingExtension(sheetOutput, files.size(), ".png"); !error.empty()) {
      std::fprintf(stderr, "kvtex: %s\n", error.c_str());
      return 2;
    }
    if (int status = planOrRefuse(sheetOutput, files, ".png", outputs)) return status;
    setLinesToErrors(sheetOutput == "-");
    return runBatch(files, [&](const std::string &file, size_t i) { return sheetOne(file, outputs[i]); }, jobCount);
  }
  const std::string *output = decodeCommand->parsed()    ? &decode.output
                              : textureCommand->parsed() ? &texture.output
                              : convertCommand->parsed() ? &convert.output
                                                         : &assembled.output;
  const char *extension = decodeCommand->parsed() ? ".png" : ".dds";
  const size_t outputFiles = cubeCommand->parsed() || volumeCommand->parsed() ? 1 : files.size();
  if (textureCommand->parsed() && *output == "-") {
    std::fprintf(stderr, "kvtex: texture writes a file per level: -o - (standard output) cannot take them\n");
    return 2;
  }
  if (std::string error = textureCommand->parsed() ? "" : contradictingExtension(*output, outputFiles, extension);
      !error.empty()) {
    std::fprintf(stderr, "kvtex: %s\n", error.c_str());
    return 2;
  }
  setLinesToErrors(*output == "-");
  std::vector<std::string> outputs;
  if (decodeCommand->parsed()) {
    if (int status = planOrRefuse(decode.output, files, ".png", outputs)) return status;
    return runBatch(
        files, [&](const std::string &file, size_t i) { return decodeOne(file, outputs[i], decode); }, jobCount);
  }
  TextureOptions &options = textureCommand->parsed() ? texture : convertCommand->parsed() ? convert : assembled;
  if (mips) options.levels = "0";
  LoaderArguments args{};
  StandInDevice device;
  if (int status = prepareTextureCommand(options, args, device)) return status;
  if (jobCount > 1 && files.size() > 1) device.close();  // each worker opens its own
  if (textureCommand->parsed()) {
    if (int status = planOrRefuse(texture.output, files, "", outputs)) return status;
    return runBatch(
        files, [&](const std::string &file, size_t i) { return textureOne(file, outputs[i], device.get(), args); },
        jobCount);
  }
  if (convertCommand->parsed()) {
    if (int status = planOrRefuse(convert.output, files, ".dds", outputs)) return status;
    return runBatch(
        files, [&](const std::string &file, size_t i) { return convertOne(file, outputs[i], device.get(), args); },
        jobCount);
  }
  // One output: a folder gets a name from the first input.
  if (int status = planOrRefuse(options.output, {files.front()}, ".dds", outputs)) return status;
  return assembleCommand(files, outputs.front(), cubeCommand->parsed() ? D3DRTYPE_CUBETEXTURE : D3DRTYPE_VOLUMETEXTURE,
                         args, device.get());
}

}  // namespace kvtex

int main(int argc, char **argv) { return kvtex::run(argc, argv); }
