#include "api/host_image.h"

#include <cstring>

#if defined(__linux__)
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>
#endif

namespace kv {

namespace {

#if defined(__linux__)

// The kernel reads and writes the host's memory on the library's behalf, so a bad address
// from the host is an error code, not a crash. process_vm_readv / process_vm_writev do it
// for many scattered pieces in one call; where a sandbox refuses them, a pipe does the same
// (the kernel reports a bad address in a pipe's write or read as EFAULT).

#if defined(MADV_POPULATE_WRITE)
int populatePages(void *address, size_t length, int advice) { return madvise(address, length, advice); }
PagePopulate g_populate = &populatePages;
#else
PagePopulate g_populate = nullptr;
#endif
KernelCopy g_kernelRead = &process_vm_readv;
KernelCopy g_kernelWrite = &process_vm_writev;
bool g_kernelCopyRefused = false;  // refused once: the sandbox will not change its mind

// Segments per call: the kernel takes at most 1024 (UIO_MAXIOV).
constexpr size_t kMaxSegments = 1024;

size_t totalLength(const iovec *segments, size_t count) {
  size_t total = 0;
  for (size_t i = 0; i < count; ++i) total += segments[i].iov_len;
  return total;
}

// A pipe that closes itself; large enough for one batch (the kernel's default is 64 KiB).
struct Pipe {
  int ends[2] = {-1, -1};
  Pipe() {
    if (pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) ends[0] = ends[1] = -1;
  }
  ~Pipe() {
    if (ends[0] >= 0) close(ends[0]);
    if (ends[1] >= 0) close(ends[1]);
  }
  bool open() const { return ends[0] >= 0; }
};

// Moves the bytes of the from segments into the to segments through a pipe.
bool copyThroughPipe(const iovec *to, size_t toCount, const iovec *from, size_t fromCount) {
  const size_t total = totalLength(from, fromCount);
  Pipe pipe;
  if (!pipe.open()) return false;
  const ssize_t written = writev(pipe.ends[1], from, static_cast<int>(fromCount));
  if (written < 0 || static_cast<size_t>(written) != total) return false;
  const ssize_t read = readv(pipe.ends[0], to, static_cast<int>(toCount));
  return read >= 0 && static_cast<size_t>(read) == total;
}

enum class Direction { FromHost, ToHost };

// One kernel copy between this process's local segments and the host's remote ones. True
// when every byte was moved.
bool kernelCopy(Direction direction, const iovec *local, size_t localCount, const iovec *remote, size_t remoteCount) {
  const size_t total = totalLength(remote, remoteCount);
  if (!g_kernelCopyRefused) {
    const KernelCopy copy = direction == Direction::FromHost ? g_kernelRead : g_kernelWrite;
    const ssize_t moved = copy(getpid(), local, localCount, remote, remoteCount, 0);
    if (moved >= 0) return static_cast<size_t>(moved) == total;
    if (errno != ENOSYS && errno != EPERM) return false;
    g_kernelCopyRefused = true;
  }
  return direction == Direction::FromHost ? copyThroughPipe(local, localCount, remote, remoteCount)
                                          : copyThroughPipe(remote, remoteCount, local, localCount);
}

bool readMemory(uintptr_t address, void *out, size_t size) {
  if (address == 0) return false;
  iovec local{out, size};
  iovec remote{reinterpret_cast<void *>(address), size};
  return kernelCopy(Direction::FromHost, &local, 1, &remote, 1);
}

size_t pageSize() {
  static const size_t size = [] {
    const long s = sysconf(_SC_PAGESIZE);
    return s > 0 ? static_cast<size_t>(s) : size_t(4096);
  }();
  return size;
}

// Asks the kernel to map every page of the range readable (or writable) without touching
// the bytes: one call whose success answers for the whole range. Any failure (a hole, a
// page without the access, a kernel that does not know the call, a sandbox) is left to the
// probe, which tells them apart.
bool pagesPopulated(uintptr_t address, uintptr_t last, PixelAccess access) {
#if defined(MADV_POPULATE_WRITE)
  if (!g_populate) return false;
  const uintptr_t page = pageSize();
  const uintptr_t first = address & ~(page - 1);
  const uintptr_t length = (last | (page - 1)) - first + 1;  // through the last byte of the last page
  if (length == 0) return false;  // the whole address space: a length of 0 would succeed
  const int advice = access == PixelAccess::ReadWrite ? MADV_POPULATE_WRITE : MADV_POPULATE_READ;
  return g_populate(reinterpret_cast<void *>(first), length, advice) == 0;
#else
  (void)address, (void)last, (void)access;
  return false;
#endif
}

// ---- the kernel's description of the mappings ----------------------------------------
// Two queries answer for a whole range in a time that does not depend on how many pages it
// has: PROCMAP_QUERY on /proc/self/maps (Linux 6.11 on) gives the mapping at an address with
// its access and what backs it; PAGEMAP_SCAN on /proc/self/pagemap (Linux 6.15 on for guard
// pages) finds the pages of a range that MADV_GUARD_INSTALL made inaccessible inside a
// mapping, walking the page tables without touching a page. Both are declared here, as the
// kernel defines them, for system headers that predate them.

struct ProcmapQuery {
  uint64_t size, queryFlags, queryAddress, start, end, flags, pageSize, offset, inode;
  uint32_t deviceMajor, deviceMinor, nameSize, buildIdSize;
  uint64_t nameAddress, buildIdAddress;
};
static_assert(sizeof(ProcmapQuery) == 104, "the kernel's struct procmap_query");
constexpr unsigned long kProcmapQuery = _IOWR('f', 17, ProcmapQuery);
constexpr uint64_t kMappingReadable = 1, kMappingWritable = 2;

struct PageRegion {
  uint64_t start, end, categories;
};
struct PagemapScan {
  uint64_t size, flags, start, end, walkEnd, vector, vectorLength, maxPages, categoryInverted, categoryMask,
      categoryAnyOf, returnMask;
};
static_assert(sizeof(PagemapScan) == 96, "the kernel's struct pm_scan_arg");
constexpr unsigned long kPagemapScan = _IOWR('f', 16, PagemapScan);
constexpr uint64_t kPageIsGuard = uint64_t(1) << 8;

enum class Answer { Yes, No, Unknown };

// Mappings whose pages the kernel fills with zeros or the process's own data on first
// touch, so that access allowed by the mapping cannot fail: anonymous memory, the heap, the
// stack and named anonymous memory. A file's pages (shared memory and huge-page files too)
// can fail past the file's end or when no page is left, and the kernel's own mappings
// ([vvar] has pages that fail on any access): those are left to the page-by-page check.
bool plainMemory(const ProcmapQuery &query, const char *name) {
  if (query.inode != 0 || query.deviceMajor != 0 || query.deviceMinor != 0) return false;
  if (query.nameSize == 0 || name[0] == '\0') return true;
  return std::strcmp(name, "[heap]") == 0 || std::strcmp(name, "[stack]") == 0 || std::strncmp(name, "[anon:", 6) == 0;
}

// The two query files of this process. A descriptor keeps describing the process that
// opened it, so a forked child opens its own.
class MappingFiles {
 public:
  // Yes when [first, last] lies in plain memory with the access and no guard page; No when
  // part of it is unmapped, lacks the access or is a guard page; Unknown when the kernel
  // cannot tell (too old, no /proc, a file mapping) and the pages must be checked one by one.
  Answer allows(uintptr_t first, uintptr_t last, PixelAccess access) {
    const std::lock_guard<std::mutex> hold(lock_);
    if (!ready()) return Answer::Unknown;
    for (uint64_t at = first;;) {
      char name[64] = {};
      ProcmapQuery query{};
      query.size = sizeof query;
      query.queryAddress = at;
      query.nameAddress = reinterpret_cast<uintptr_t>(name);
      query.nameSize = sizeof name;
      if (ioctl(maps_, kProcmapQuery, &query) != 0) return failed(errno == ENOENT ? Answer::No : Answer::Unknown);
      if (query.start > at || query.end <= at) return Answer::Unknown;
      const uint64_t needed = access == PixelAccess::ReadWrite ? kMappingReadable | kMappingWritable : kMappingReadable;
      if ((query.flags & needed) != needed) return Answer::No;
      if (!plainMemory(query, name)) return Answer::Unknown;
      if (query.end > last) break;
      at = query.end;
    }
    PageRegion guard{};
    PagemapScan scan{};
    scan.size = sizeof scan;
    scan.start = first & ~uint64_t(pageSize() - 1);
    scan.end = (uint64_t(last) | (pageSize() - 1)) + 1;  // 64 bits: no wrap at the top of a 32-bit space
    scan.vector = reinterpret_cast<uintptr_t>(&guard);
    scan.vectorLength = 1;
    scan.categoryMask = kPageIsGuard;
    scan.returnMask = kPageIsGuard;
    const int found = ioctl(pagemap_, kPagemapScan, &scan);
    if (found < 0) return failed(Answer::Unknown);
    if (found > 0) return Answer::No;
    return scan.walkEnd == scan.end ? Answer::Yes : Answer::Unknown;
  }

  ~MappingFiles() { closeFiles(); }

 private:
  bool ready() {
    const pid_t pid = getpid();
    if (pid != pid_) {
      closeFiles();
      pid_ = pid;
      refused_ = false;
      maps_ = open("/proc/self/maps", O_RDONLY | O_CLOEXEC);
      pagemap_ = open("/proc/self/pagemap", O_RDONLY | O_CLOEXEC);
      refused_ = maps_ < 0 || pagemap_ < 0;
    }
    return !refused_;
  }
  // A kernel that does not know a query (or a bit of one) will not learn it: ask no more.
  Answer failed(Answer answer) {
    if (errno == ENOTTY || errno == EINVAL || errno == EOPNOTSUPP || errno == EPERM || errno == EACCES) refused_ = true;
    return answer;
  }
  void closeFiles() {
    if (maps_ >= 0) close(maps_);
    if (pagemap_ >= 0) close(pagemap_);
    maps_ = pagemap_ = -1;
  }
  std::mutex lock_;
  pid_t pid_ = 0;
  int maps_ = -1, pagemap_ = -1;
  bool refused_ = true;
};

bool g_mappingQuery = true;

Answer mappingsAllow(uintptr_t first, uintptr_t last, PixelAccess access) {
  if (!g_mappingQuery) return Answer::Unknown;
  static MappingFiles files;
  return files.allows(first, last, access);
}

// Probes one byte of every page of [address, address + bytes): one read of all of them
// and, for ReadWrite, one write of the same bytes back, per batch of pages.
bool rangeAccessible(uintptr_t address, size_t bytes, PixelAccess access) {
  const uintptr_t page = pageSize();
  const uintptr_t last = address + (bytes - 1);
  const Answer mapped = mappingsAllow(address, last, access);
  if (mapped != Answer::Unknown) return mapped == Answer::Yes;
  if (pagesPopulated(address, last, access)) return true;
  uintptr_t probe = address;
  for (;;) {
    iovec remote[kMaxSegments];
    unsigned char values[kMaxSegments];
    size_t count = 0;
    bool more = true;
    while (count < kMaxSegments && more) {
      remote[count++] = iovec{reinterpret_cast<void *>(probe), 1};
      const uintptr_t next = (probe & ~(page - 1)) + page;
      more = next != 0 && next <= last;  // next == 0: the range ends at the top of memory
      probe = next;
    }
    iovec local{values, count};
    if (!kernelCopy(Direction::FromHost, &local, 1, remote, count)) return false;
    if (access == PixelAccess::ReadWrite && !kernelCopy(Direction::ToHost, &local, 1, remote, count)) return false;
    if (!more) return true;
  }
}

#else

// Elsewhere the host's addresses are taken as given.
bool readMemory(uintptr_t address, void *out, size_t size) {
  if (address == 0) return false;
  std::memcpy(out, reinterpret_cast<const void *>(address), size);
  return true;
}

bool rangeAccessible(uintptr_t, size_t, PixelAccess) { return true; }

#endif

// The 32-bit pointer word at byte offset of the record at address; 0 for none.
uintptr_t wordAt(uintptr_t address, uintptr_t offset) {
  uint32_t word = 0;
  if (!readMemory(address + offset, &word, sizeof word)) return 0;
  return word;
}

}  // namespace

uint32_t *hostImagePixels(uint32_t handle) {
  if (handle == 0) return nullptr;
  const uint64_t object = uint64_t(handle) * 2;
  if (object > UINTPTR_MAX) return nullptr;
  const uintptr_t bitmap = wordAt(static_cast<uintptr_t>(object), 16);
  const uintptr_t info = wordAt(bitmap, 8);
  const uintptr_t pixels = wordAt(info, 16);
  return reinterpret_cast<uint32_t *>(pixels);
}

bool hostPixelsReachable(const uint32_t *pixels, int width, int height, PixelAccess access) {
  if (!pixels || width <= 0 || height <= 0) return false;
  const uint64_t count = uint64_t(width) * uint64_t(height);
  const uintptr_t first = reinterpret_cast<uintptr_t>(pixels);
  const uint64_t bytes = count * 4;  // below 2^64: both factors are below 2^31
  if (bytes - 1 > UINTPTR_MAX - first) return false;
  return rangeAccessible(first, static_cast<size_t>(bytes), access);
}

#if defined(__linux__)
void setKernelCopyForTesting(KernelCopy read, KernelCopy write) {
  g_kernelRead = read ? read : &process_vm_readv;
  g_kernelWrite = write ? write : &process_vm_writev;
  g_kernelCopyRefused = false;
}

void setMappingQueryForTesting(bool enabled) { g_mappingQuery = enabled; }

void setPagePopulateForTesting(PagePopulate populate, bool useDefault) {
#if defined(MADV_POPULATE_WRITE)
  g_populate = useDefault ? &populatePages : populate;
#else
  (void)populate, (void)useDefault;
#endif
}
#endif

}  // namespace kv
