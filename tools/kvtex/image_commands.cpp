// The commands that show what the readers make of a file: info, decode, sheet, compare.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "kvtex.h"
#include "texload/decode_image.h"

namespace kvtex {
namespace {

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

}  // namespace

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

namespace {

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

}  // namespace

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

}  // namespace kvtex
