// The commands that make textures: texture (the loader's own), convert, cube and volume
// (DDS files at the source's size), and the arguments they share.

#include <cstdio>
#include <memory>
#include <string>

#include "kvtex.h"
#include "pixel/convert/filter_flags.h"
#include "pixel/power_of_two.h"
#include "texload/texture_from_memory.h"
#include "texload/texture_requirements.h"

namespace kvtex {
namespace {

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

}  // namespace

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

namespace {

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

}  // namespace

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

}  // namespace kvtex
