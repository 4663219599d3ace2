#include <unistd.h>

#include <cstdio>

#include "kvtex.h"

namespace kvtex {

void reportFile(const std::string &file, const std::string &message) {
  // On a terminal the line replaces the progress line rather than running on from it.
  std::fprintf(stderr, "%skvtex: %s: %s\n", isatty(STDERR_FILENO) ? "\r\033[K" : "", file.c_str(), message.c_str());
}

int runBatch(const std::vector<std::string> &files, const std::function<bool(const std::string &, size_t)> &work) {
  const bool terminal = isatty(STDERR_FILENO) != 0;
  size_t failed = 0;
  for (size_t i = 0; i < files.size(); ++i) {
    if (terminal) {
      std::fprintf(stderr, "\r\033[K[%zu/%zu] %s", i, files.size(), files[i].c_str());
      std::fflush(stderr);
    }
    bool ok = false;
    try {
      ok = work(files[i], i);
    } catch (const std::exception &e) {
      // One file's trouble (a full disk, memory) never stops the rest of the batch.
      failFile(files[i], e.what());
    }
    if (!ok) ++failed;
  }
  if (terminal) std::fprintf(stderr, "\r\033[K");
  if (files.size() > 1) {
    std::fprintf(stderr, "kvtex: %zu files: %zu done, %zu failed\n", files.size(), files.size() - failed, failed);
  }
  return failed ? 1 : 0;
}

}  // namespace kvtex
