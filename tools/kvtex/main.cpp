// kvtex info | decode | texture | convert | cube | volume | sheet | compare | formats | help:
// the command line, and the formats command.
#include <CLI/CLI.hpp>

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <iostream>

#include "kvtex.h"
#include "texload/dds_format.h"

namespace kvtex {
namespace {

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
