// Where a command's outputs go, and writing them there.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <system_error>

#include "kvtex.h"

namespace kvtex {
namespace fs = std::filesystem;
namespace {

fs::path absoluteFolder(const std::string &file) {
  std::error_code error;
  fs::path path = fs::absolute(fs::path(file), error);
  return path.lexically_normal().parent_path();
}

// The deepest folder holding every file.
fs::path commonFolder(const std::vector<std::string> &files) {
  fs::path common = absoluteFolder(files.front());
  for (const std::string &file : files) {
    const fs::path folder = absoluteFolder(file);
    fs::path shared;
    for (auto a = common.begin(), b = folder.begin(); a != common.end() && b != folder.end() && *a == *b; ++a, ++b)
      shared /= *a;
    common = shared;
  }
  return common;
}

bool namesFolder(const std::string &output) {
  std::error_code error;
  return output.ends_with('/') || fs::is_directory(output, error);
}

}  // namespace

std::string planOutputs(const std::string &output, const std::vector<std::string> &files,
                        const std::string &extension, std::vector<std::string> &paths) {
  paths.clear();
  if (output == "-") {
    if (files.size() != 1) return "-o - (standard output) takes one input file";
    paths.push_back(output);
    return {};
  }
  if (files.size() == 1 && !namesFolder(output)) {
    paths.push_back(output);
    return {};
  }
  // A folder: each output keeps its input's path below the folder that holds all inputs,
  // so a/x.png and b/x.png stay apart (inputs in one folder come out side by side).
  const fs::path common = commonFolder(files);
  std::map<std::string, size_t> seen;
  for (size_t i = 0; i < files.size(); ++i) {
    std::error_code error;
    const fs::path file = fs::absolute(fs::path(files[i]), error).lexically_normal();
    const fs::path relative = file.lexically_relative(common);
    const std::string path = (fs::path(output) / relative).string() + extension;
    if (const auto [at, fresh] = seen.emplace(path, i); !fresh) {
      return files[at->second] + " and " + files[i] + " would both be written to " + path + "; nothing was written";
    }
    paths.push_back(path);
  }
  return {};
}

std::string writeOutput(const std::string &path, const std::vector<uint8_t> &bytes) {
  if (path == "-") {
    if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size() || std::fflush(stdout) != 0)
      return "cannot write to standard output";
    return {};
  }
  std::error_code error;
  const fs::path parent = fs::path(path).parent_path();
  if (!parent.empty()) fs::create_directories(parent, error);
  if (error) return "cannot make the folder " + parent.string() + ": " + error.message();
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) return "cannot write " + path;
  out.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out.flush()) return "cannot write " + path;
  return {};
}

}  // namespace kvtex
