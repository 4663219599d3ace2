// Batches: files shared out over worker processes, their lines printed in input order.
// Processes rather than threads: each worker has its own stand-in device and the readers
// switch the process's numeric locale while they run.
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <map>

#include "kvtex.h"

namespace kvtex {
namespace {

// While a worker runs a file, what it prints is kept here and sent to the parent.
std::string *gCapturedOut = nullptr;
std::string *gCapturedErrors = nullptr;

bool terminal() { return isatty(STDERR_FILENO) != 0; }

// The progress line on a terminal: the file's "[i/n] name" and, within a long file, its step.
struct ProgressLine {
  bool on = false, shown = false;
  std::string file;
  std::chrono::steady_clock::time_point last;
};
ProgressLine gProgress;

void showProgress(const std::string &text) {
  std::fprintf(stderr, "\r\033[K%s", text.c_str());
  std::fflush(stderr);
  gProgress.shown = true;
  gProgress.last = std::chrono::steady_clock::now();
}

// Any other output takes the line's place, so that no JSON line or message runs on from it.
void clearProgress() {
  if (!gProgress.shown) return;
  std::fputs("\r\033[K", stderr);
  std::fflush(stderr);
  gProgress.shown = false;
}

struct FileResult {
  bool ok = false;
  std::string out, errors;
};

FileResult runOne(const std::string &file, size_t index,
                  const std::function<bool(const std::string &, size_t)> &work) {
  FileResult result;
  try {
    result.ok = work(file, index);
  } catch (const std::exception &e) {
    // One file's trouble (a full disk, memory) never stops the rest of the batch.
    failFile(file, e.what());
  }
  return result;
}

bool writeAll(int fd, const void *data, size_t size) {
  const auto *bytes = static_cast<const uint8_t *>(data);
  while (size > 0) {
    const ssize_t n = ::write(fd, bytes, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

// A record: index, ok, then the two texts, each after its length.
void sendResult(int fd, uint64_t index, const FileResult &result) {
  std::string record(8 + 1 + 16, '\0');
  const uint64_t outSize = result.out.size(), errorsSize = result.errors.size();
  std::memcpy(&record[0], &index, 8);
  record[8] = result.ok ? 1 : 0;
  std::memcpy(&record[9], &outSize, 8);
  std::memcpy(&record[17], &errorsSize, 8);
  record += result.out;
  record += result.errors;
  writeAll(fd, record.data(), record.size());
}

// Takes every whole record off the front of `buffer`.
void takeResults(std::string &buffer, std::map<size_t, FileResult> &results) {
  while (buffer.size() >= 25) {
    uint64_t index, outSize, errorsSize;
    std::memcpy(&index, &buffer[0], 8);
    std::memcpy(&outSize, &buffer[9], 8);
    std::memcpy(&errorsSize, &buffer[17], 8);
    if (buffer.size() - 25 < outSize || buffer.size() - 25 - outSize < errorsSize) return;
    FileResult &result = results[static_cast<size_t>(index)];
    result.ok = buffer[8] != 0;
    result.out = buffer.substr(25, static_cast<size_t>(outSize));
    result.errors = buffer.substr(25 + static_cast<size_t>(outSize), static_cast<size_t>(errorsSize));
    buffer.erase(0, 25 + static_cast<size_t>(outSize + errorsSize));
  }
}

struct Worker {
  pid_t pid = -1;
  int fd = -1;
  std::string buffer;
};

// Worker `k` of `count` runs files k, k + count, ...; the parent prints each file's lines
// once those of every file before it are out. A worker that dies fails its missing files.
size_t runInWorkers(const std::vector<std::string> &files, size_t count,
                    const std::function<bool(const std::string &, size_t)> &work, bool progress) {
  std::fflush(stdout);
  std::fflush(stderr);
  std::vector<Worker> workers(count);
  for (size_t k = 0; k < count; ++k) {
    int fds[2];
    if (::pipe(fds) != 0) break;
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::close(fds[0]);
      for (size_t j = 0; j < k; ++j) ::close(workers[j].fd);
      for (size_t i = k; i < files.size(); i += count) {
        FileResult result;
        gCapturedOut = &result.out;
        gCapturedErrors = &result.errors;
        const FileResult ran = runOne(files[i], i, work);
        result.ok = ran.ok;
        sendResult(fds[1], i, result);
      }
      ::_exit(0);
    }
    ::close(fds[1]);
    if (pid < 0) {
      ::close(fds[0]);
      break;
    }
    workers[k] = Worker{pid, fds[0], {}};
  }
  if (progress) showProgress("[0/" + std::to_string(files.size()) + "] " + files[0]);
  std::map<size_t, FileResult> results;
  size_t next = 0, failed = 0;
  const auto printReady = [&] {
    for (auto at = results.find(next); at != results.end(); at = results.find(next)) {
      clearProgress();
      std::fputs(at->second.errors.c_str(), stderr);
      std::cout << at->second.out << std::flush;
      if (!at->second.ok) ++failed;
      results.erase(at);
      ++next;
      if (progress && next < files.size())
        showProgress("[" + std::to_string(next) + "/" + std::to_string(files.size()) + "] " + files[next]);
    }
  };
  for (;;) {
    std::vector<pollfd> open;
    for (const Worker &w : workers) {
      if (w.fd >= 0) open.push_back(pollfd{w.fd, POLLIN, 0});
    }
    if (open.empty()) break;
    if (::poll(open.data(), open.size(), -1) < 0 && errno != EINTR) break;
    for (Worker &w : workers) {
      if (w.fd < 0) continue;
      char chunk[65536];
      pollfd one{w.fd, POLLIN, 0};
      if (::poll(&one, 1, 0) <= 0) continue;
      const ssize_t n = ::read(w.fd, chunk, sizeof chunk);
      if (n > 0) {
        w.buffer.append(chunk, static_cast<size_t>(n));
        takeResults(w.buffer, results);
      } else if (n == 0 || errno != EINTR) {
        ::close(w.fd);
        w.fd = -1;
      }
    }
    printReady();
  }
  for (size_t k = 0; k < count; ++k) {
    int status = 0;
    if (workers[k].pid > 0) ::waitpid(workers[k].pid, &status, 0);
    // Files of a worker that never started or died without a word.
    for (size_t i = k; i < files.size(); i += count) {
      if (i >= next && !results.count(i)) {
        FileResult &lost = results[i];
        std::string *out = gCapturedOut, *errors = gCapturedErrors;
        gCapturedOut = &lost.out;
        gCapturedErrors = &lost.errors;
        failFile(files[i], workers[k].pid > 0 ? "the worker process running it ended (" +
                                                    std::string(WIFSIGNALED(status) ? strsignal(WTERMSIG(status))
                                                                                    : "without its result") +
                                                    ")"
                                              : "no worker process could be started");
        gCapturedOut = out;
        gCapturedErrors = errors;
      }
    }
  }
  printReady();
  return failed;
}

}  // namespace

void emitOut(const std::string &text) {
  if (gCapturedOut) {
    *gCapturedOut += text;
  } else {
    clearProgress();
    std::cout << text << std::flush;
  }
}

void emitErrors(const std::string &text) {
  if (gCapturedErrors) {
    *gCapturedErrors += text;
  } else {
    clearProgress();
    std::fputs(text.c_str(), stderr);
  }
}

void reportFile(const std::string &file, const std::string &message) {
  emitErrors("kvtex: " + file + ": " + message + "\n");
}

void reportProgress(const std::string &step) {
  if (!gProgress.on || gCapturedErrors) return;
  // Ten changes a second are enough to read and cost nothing beside the work.
  if (gProgress.shown && std::chrono::steady_clock::now() - gProgress.last < std::chrono::milliseconds(100)) return;
  showProgress(gProgress.file + ": " + step);
}

size_t defaultJobs() {
  const long cores = ::sysconf(_SC_NPROCESSORS_ONLN);
  return cores > 0 ? static_cast<size_t>(cores) : 1;
}

int runBatch(const std::vector<std::string> &files, const std::function<bool(const std::string &, size_t)> &work,
             size_t jobs) {
  const bool progress = terminal();
  size_t failed = 0;
  if (jobs > 1 && files.size() > 1) {
    failed = runInWorkers(files, std::min(jobs, files.size()), work, progress);
  } else {
    gProgress.on = progress;
    for (size_t i = 0; i < files.size(); ++i) {
      gProgress.file = "[" + std::to_string(i) + "/" + std::to_string(files.size()) + "] " + files[i];
      if (progress) showProgress(gProgress.file);
      if (!runOne(files[i], i, work).ok) ++failed;
    }
    gProgress.on = false;
  }
  clearProgress();
  if (files.size() > 1) {
    std::fprintf(stderr, "kvtex: %zu files: %zu done, %zu failed\n", files.size(), files.size() - failed, failed);
  }
  return failed ? 1 : 0;
}

}  // namespace kvtex
