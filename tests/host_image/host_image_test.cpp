// Probing a host image's pixel range: every page is checked, writes are checked without
// changing the host's pixels, a frame on plain memory costs a few queries of the kernel's
// mapping description whatever its size and page size (or, without them, one page-mapping
// call, or one read and one write call per 1024 pages), and the same answers come where a
// kernel lacks the queries or the mapping call or a sandbox refuses the kernel's
// cross-process copy calls.
#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/utsname.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "api/host_image.h"
#include "kvhost.h"

namespace {

using kv::PixelAccess;

const size_t kPage = static_cast<size_t>(sysconf(_SC_PAGESIZE));

int g_reads = 0, g_writes = 0, g_populates = 0;
int g_refusal = 0;  // errno of a refused call; 0: pass the call on

int countedPopulate(void *address, size_t length, int advice) {
  ++g_populates;
  return madvise(address, length, advice);
}

// Counts the calls of one kernel copy and passes them on, or refuses them with g_refusal.
template <kv::KernelCopy kReal, int &calls>
ssize_t counted(pid_t pid, const iovec *l, unsigned long ln, const iovec *r, unsigned long rn, unsigned long f) {
  ++calls;
  if (g_refusal) {
    errno = g_refusal;
    return -1;
  }
  return kReal(pid, l, ln, r, rn, f);
}
constexpr kv::KernelCopy countedRead = &counted<&process_vm_readv, g_reads>;
constexpr kv::KernelCopy countedWrite = &counted<&process_vm_writev, g_writes>;

int openDescriptors() {
  int count = 0;
  if (DIR *folder = opendir("/proc/self/fd")) {
    while (readdir(folder)) ++count;
    closedir(folder);
  }
  return count;
}

// Pages mapped together, each then given its own protection; a repeating byte pattern in
// every readable page shows whether probing changed anything.
class Pages {
 public:
  explicit Pages(std::vector<int> protections) : count_(protections.size()) {
    base_ = static_cast<unsigned char *>(
        mmap(nullptr, count_ * kPage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    EXPECT_NE(base_, MAP_FAILED);
    for (size_t i = 0; i < count_ * kPage; ++i) base_[i] = static_cast<unsigned char>(i * 7 + 3);
    for (size_t i = 0; i < count_; ++i) EXPECT_EQ(mprotect(base_ + i * kPage, kPage, protections[i]), 0);
  }
  ~Pages() { munmap(base_, count_ * kPage); }
  // Pixels starting 64 bytes before the end of the first page.
  const uint32_t *pixels() const { return reinterpret_cast<const uint32_t *>(base_ + kPage - 64); }
  // Rows of 16 pixels that reach into the last page.
  int rowsToLastPage() const { return static_cast<int>(((count_ - 1) * kPage) / 64 + 1); }
  bool patternIntact(size_t page) const {
    for (size_t i = page * kPage; i < (page + 1) * kPage; ++i)
      if (base_[i] != static_cast<unsigned char>(i * 7 + 3)) return false;
    return true;
  }

 private:
  size_t count_;
  unsigned char *base_;
};

// Each case runs with the kernel's mapping description, with the page-mapping call, and
// without both with the kernel copy calls working, and refused as a sandbox refuses them.
constexpr int kMappingQuery = -2, kPopulate = -1;
class HostPixelRange : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override {
    g_reads = g_writes = 0;
    g_refusal = GetParam() < 0 ? 0 : GetParam();
    kv::setKernelCopyForTesting(countedRead, countedWrite);
    if (GetParam() != kPopulate) kv::setPagePopulateForTesting(nullptr);
    kv::setMappingQueryForTesting(GetParam() == kMappingQuery);
  }
  void TearDown() override {
    g_refusal = 0;
    kv::setKernelCopyForTesting(nullptr, nullptr);
    kv::setPagePopulateForTesting(nullptr, true);
    kv::setMappingQueryForTesting(true);
  }
};

TEST_P(HostPixelRange, AnUnmappedPageInsideTheRangeIsFoundThoughBothEndsAreReadable) {
  Pages pages({PROT_READ | PROT_WRITE, PROT_NONE, PROT_READ | PROT_WRITE});
  const int rows = pages.rowsToLastPage();
  EXPECT_TRUE(kv::hostPixelsReachable(pages.pixels(), 16, 1, PixelAccess::ReadWrite));
  EXPECT_FALSE(kv::hostPixelsReachable(pages.pixels(), 16, rows, PixelAccess::Read));
  EXPECT_FALSE(kv::hostPixelsReachable(pages.pixels(), 16, rows, PixelAccess::ReadWrite));
  EXPECT_FALSE(kv::hostPixelsReachable(pages.pixels(), 16, 2, PixelAccess::Read));  // just into the hole
}

TEST_P(HostPixelRange, AReadOnlyPageCanBeReadButNotWrittenAndNothingChanges) {
  Pages pages({PROT_READ | PROT_WRITE, PROT_READ, PROT_READ | PROT_WRITE});
  const int rows = pages.rowsToLastPage();
  EXPECT_TRUE(kv::hostPixelsReachable(pages.pixels(), 16, rows, PixelAccess::Read));
  EXPECT_FALSE(kv::hostPixelsReachable(pages.pixels(), 16, rows, PixelAccess::ReadWrite));
  for (size_t page = 0; page < 3; ++page) EXPECT_TRUE(pages.patternIntact(page)) << page;
}

TEST_P(HostPixelRange, WritableImagesPassAndKeepTheirPixelsAndNoDescriptor) {
  Pages pages({PROT_READ | PROT_WRITE, PROT_READ | PROT_WRITE, PROT_READ | PROT_WRITE});
  EXPECT_TRUE(kv::hostPixelsReachable(pages.pixels(), 16, pages.rowsToLastPage(), PixelAccess::ReadWrite));
  for (size_t page = 0; page < 3; ++page) EXPECT_TRUE(pages.patternIntact(page)) << page;
  // The mapping queries keep their two files open from the first check on; nothing more stays.
  const int descriptors = openDescriptors();
  EXPECT_TRUE(kv::hostPixelsReachable(pages.pixels(), 16, pages.rowsToLastPage(), PixelAccess::ReadWrite));
  EXPECT_EQ(openDescriptors(), descriptors) << "the pipe of a refused copy is closed";
}

TEST_P(HostPixelRange, HostImagePointerChainsResolve) {
  const uint32_t handle = kvhost_image_create(4, 4);
  ASSERT_NE(handle, 0u);
  EXPECT_EQ(kv::hostImagePixels(handle), kvhost_image_pixels(handle));
  kvhost_image_destroy(handle);
  EXPECT_EQ(kv::hostImagePixels(0x800), nullptr);  // an object in the never-mapped first page
}

INSTANTIATE_TEST_SUITE_P(KernelCalls, HostPixelRange, ::testing::Values(kMappingQuery, kPopulate, 0, ENOSYS, EPERM),
                         [](const auto &info) {
                           return info.param == kMappingQuery ? std::string("MappingQuery")
                                  : info.param == kPopulate ? std::string("PageMapping")
                                  : info.param == 0       ? std::string("Available")
                                                  : info.param == ENOSYS ? std::string("Missing")
                                                                         : std::string("Forbidden");
                         });

// The kernel calls counted, and passed on; the page-mapping call only where a case asks, the
// mapping description not asked.
class HostPixelCalls : public ::testing::Test {
 protected:
  void SetUp() override {
    g_reads = g_writes = g_populates = 0;
    kv::setKernelCopyForTesting(countedRead, countedWrite);
    kv::setPagePopulateForTesting(nullptr);
    kv::setMappingQueryForTesting(false);
  }
  void TearDown() override {
    g_refusal = 0;
    kv::setKernelCopyForTesting(nullptr, nullptr);
    kv::setPagePopulateForTesting(nullptr, true);
    kv::setMappingQueryForTesting(true);
  }
};

TEST_F(HostPixelCalls, WithPageMappingAFrameCostsOneCallAndNoCopies) {
  kv::setPagePopulateForTesting(countedPopulate);
  const uint32_t frame = kvhost_image_create(544, 416);
  ASSERT_NE(frame, 0u);
  EXPECT_TRUE(kv::hostPixelsReachable(kvhost_image_pixels(frame), 544, 416, PixelAccess::ReadWrite));
  EXPECT_TRUE(kv::hostPixelsReachable(kvhost_image_pixels(frame), 544, 416, PixelAccess::Read));
  EXPECT_EQ(g_populates, 2);
  EXPECT_EQ(g_reads + g_writes, 0);
  // A read-only page fails the mapping call; the probe then gives the answer.
  Pages pages({PROT_READ | PROT_WRITE, PROT_READ});
  EXPECT_FALSE(kv::hostPixelsReachable(pages.pixels(), 16, pages.rowsToLastPage(), PixelAccess::ReadWrite));
  EXPECT_EQ(g_populates, 3);
  EXPECT_GE(g_reads, 1);
  kvhost_image_destroy(frame);
  // An image that ends with its page, a hole after it: the call covers its pages, no more.
  Pages hole({PROT_READ | PROT_WRITE, PROT_READ | PROT_WRITE, PROT_NONE});
  g_reads = 0;
  EXPECT_TRUE(kv::hostPixelsReachable(hole.pixels(), 16, static_cast<int>(kPage / 64 + 1), PixelAccess::ReadWrite));
  EXPECT_EQ(g_reads, 0);
}

TEST_F(HostPixelCalls, AFrameCostsOneReadAndOneWritePerThousandPages) {
  const uint32_t frame = kvhost_image_create(544, 416);  // 221 pages
  const uint32_t large = kvhost_image_create(2048, 2048);  // 4096 pages
  ASSERT_NE(frame, 0u);
  ASSERT_NE(large, 0u);
  EXPECT_TRUE(kv::hostPixelsReachable(kvhost_image_pixels(frame), 544, 416, PixelAccess::ReadWrite));
  EXPECT_EQ(g_reads, 1);
  EXPECT_EQ(g_writes, 1);
  g_reads = g_writes = 0;
  EXPECT_TRUE(kv::hostPixelsReachable(kvhost_image_pixels(frame), 544, 416, PixelAccess::Read));
  EXPECT_EQ(g_reads, 1);
  EXPECT_EQ(g_writes, 0);
  g_reads = g_writes = 0;
  EXPECT_TRUE(kv::hostPixelsReachable(kvhost_image_pixels(large), 2048, 2048, PixelAccess::ReadWrite));
  EXPECT_LE(g_reads, 5);
  EXPECT_LE(g_writes, 5);
  kvhost_image_destroy(frame);
  kvhost_image_destroy(large);
}

TEST_F(HostPixelCalls, ASandboxThatRefusesIsAskedOnlyOnce) {
  g_refusal = EPERM;
  const uint32_t image = kvhost_image_create(64, 64);
  for (int frame = 0; frame < 3; ++frame)
    EXPECT_TRUE(kv::hostPixelsReachable(kvhost_image_pixels(image), 64, 64, PixelAccess::ReadWrite));
  EXPECT_EQ(g_reads + g_writes, 1);
  kvhost_image_destroy(image);
}

// With the kernel's mapping description: images from an ordinary allocator and plain
// mappings are answered without touching a page (no page-mapping call, no copy call) at any
// size; file mappings, guard pages and a forked child's own mappings get the right answer.
class HostPixelMappings : public HostPixelCalls {
 protected:
  void SetUp() override {
    HostPixelCalls::SetUp();
    kv::setPagePopulateForTesting(countedPopulate);
    kv::setMappingQueryForTesting(true);
    // Linux 6.15 and later have both queries (PROCMAP_QUERY, guard pages in PAGEMAP_SCAN);
    // on them the cases must run, elsewhere they cannot.
    utsname system{};
    int major = 0, minor = 0;
    if (uname(&system) != 0 || std::sscanf(system.release, "%d.%d", &major, &minor) != 2 || major * 100 + minor < 615)
      GTEST_SKIP() << "a kernel before 6.15 does not describe its mappings fully";
  }
};

TEST_F(HostPixelMappings, OrdinaryImagesOfAnySizeCostNoPageCalls) {
  std::vector<uint32_t> heap(size_t(3840) * 2160 + 3);
  EXPECT_TRUE(kv::hostPixelsReachable(heap.data() + 3, 3840, 2160, PixelAccess::ReadWrite));
  const uint32_t frame = kvhost_image_create(1920, 1080);  // huge pages
  ASSERT_NE(frame, 0u);
  EXPECT_TRUE(kv::hostPixelsReachable(kvhost_image_pixels(frame), 1920, 1080, PixelAccess::ReadWrite));
  kvhost_image_destroy(frame);
  static const uint32_t constant[64] = {};
  EXPECT_EQ(g_reads + g_writes + g_populates, 0);
  // The program's file: not writable as the mapping says, readable as its pages say.
  EXPECT_FALSE(kv::hostPixelsReachable(constant, 8, 8, PixelAccess::ReadWrite));
  EXPECT_EQ(g_populates, 0);
  EXPECT_TRUE(kv::hostPixelsReachable(constant, 8, 8, PixelAccess::Read));
  EXPECT_EQ(g_populates, 1);
}

TEST_F(HostPixelMappings, HolesAndReadOnlyPagesAreFoundFromTheMappingsAlone) {
  Pages hole({PROT_READ | PROT_WRITE, PROT_NONE, PROT_READ | PROT_WRITE});
  EXPECT_FALSE(kv::hostPixelsReachable(hole.pixels(), 16, 2, PixelAccess::Read));
  Pages readOnly({PROT_READ | PROT_WRITE, PROT_READ, PROT_READ | PROT_WRITE});
  EXPECT_TRUE(kv::hostPixelsReachable(readOnly.pixels(), 16, readOnly.rowsToLastPage(), PixelAccess::Read));
  EXPECT_FALSE(kv::hostPixelsReachable(readOnly.pixels(), 16, readOnly.rowsToLastPage(), PixelAccess::ReadWrite));
  const uint32_t *unmapped = reinterpret_cast<const uint32_t *>(mmap(nullptr, 8 * kPage, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
  munmap(const_cast<uint32_t *>(unmapped), 8 * kPage);
  EXPECT_FALSE(kv::hostPixelsReachable(unmapped, 1024, 8, PixelAccess::Read));
  EXPECT_EQ(g_reads + g_writes + g_populates, 0);
  for (size_t page = 0; page < 3; ++page) EXPECT_TRUE(readOnly.patternIntact(page)) << page;
}

TEST_F(HostPixelMappings, AGuardPageInsidePlainMemoryIsRefused) {
#ifndef MADV_GUARD_INSTALL
  constexpr int MADV_GUARD_INSTALL = 102;
#endif
  Pages pages({PROT_READ | PROT_WRITE, PROT_READ | PROT_WRITE, PROT_READ | PROT_WRITE});
  Pages guarded({PROT_READ | PROT_WRITE, PROT_READ | PROT_WRITE, PROT_READ | PROT_WRITE});
  auto *middle = const_cast<unsigned char *>(reinterpret_cast<const unsigned char *>(guarded.pixels())) + 64;
  if (madvise(middle, kPage, MADV_GUARD_INSTALL) != 0) GTEST_SKIP() << "no guard pages on this kernel";
  EXPECT_TRUE(kv::hostPixelsReachable(pages.pixels(), 16, pages.rowsToLastPage(), PixelAccess::ReadWrite));
  EXPECT_TRUE(kv::hostPixelsReachable(guarded.pixels(), 16, 1, PixelAccess::ReadWrite));
  EXPECT_FALSE(kv::hostPixelsReachable(guarded.pixels(), 16, guarded.rowsToLastPage(), PixelAccess::Read));
  EXPECT_FALSE(kv::hostPixelsReachable(guarded.pixels(), 16, 2, PixelAccess::ReadWrite));
}

TEST_F(HostPixelMappings, AFileMappingPastTheFilesEndIsRefused) {
  FILE *file = tmpfile();
  ASSERT_NE(file, nullptr);
  ASSERT_EQ(ftruncate(fileno(file), static_cast<off_t>(kPage)), 0);  // one page of file, two mapped
  void *mapped = mmap(nullptr, 2 * kPage, PROT_READ | PROT_WRITE, MAP_SHARED, fileno(file), 0);
  ASSERT_NE(mapped, MAP_FAILED);
  const auto *pixels = static_cast<const uint32_t *>(mapped);
  const int rowsInFile = static_cast<int>(kPage / 64);
  EXPECT_TRUE(kv::hostPixelsReachable(pixels, 16, rowsInFile, PixelAccess::ReadWrite));
  EXPECT_FALSE(kv::hostPixelsReachable(pixels, 16, rowsInFile + 1, PixelAccess::Read));  // a touch would be SIGBUS
  munmap(mapped, 2 * kPage);
  fclose(file);
}

// The kernel's own mappings: some of their pages fail any access ([vvar] has pages that
// exist only in some configurations), so the mapping's access alone must not answer; the
// answer is the page-by-page check's.
TEST_F(HostPixelMappings, TheKernelsOwnMappingsAreCheckedPageByPage) {
  FILE *maps = std::fopen("/proc/self/maps", "r");
  ASSERT_NE(maps, nullptr);
  char line[512];
  int checked = 0;
  while (std::fgets(line, sizeof line, maps)) {
    unsigned long start = 0, end = 0;
    char name[64] = {};
    if (std::sscanf(line, "%lx-%lx %*s %*s %*s %*s %63s", &start, &end, name) != 3) continue;
    if (std::strncmp(name, "[vvar", 5) != 0 && std::strcmp(name, "[vdso]") != 0) continue;
    const auto *pixels = reinterpret_cast<const uint32_t *>(start);
    const int width = static_cast<int>((end - start) / 4);
    kv::setMappingQueryForTesting(false);
    const bool byPages = kv::hostPixelsReachable(pixels, width, 1, PixelAccess::Read);
    kv::setMappingQueryForTesting(true);
    EXPECT_EQ(kv::hostPixelsReachable(pixels, width, 1, PixelAccess::Read), byPages) << name;
    EXPECT_FALSE(kv::hostPixelsReachable(pixels, width, 1, PixelAccess::ReadWrite)) << name;
    ++checked;
  }
  std::fclose(maps);
  if (checked == 0) GTEST_SKIP() << "no kernel mappings to be seen";
}

TEST_F(HostPixelMappings, AForkedChildIsAnsweredForItsOwnMappings) {
  const std::vector<uint32_t> before(4096);
  ASSERT_TRUE(kv::hostPixelsReachable(before.data(), 64, 64, PixelAccess::ReadWrite));  // the parent's queries open
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const int descriptors = openDescriptors();
    // A mapping the parent does not have, and one the child no longer has.
    void *own = mmap(nullptr, 64 * kPage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    const bool ownReachable = own != MAP_FAILED && kv::hostPixelsReachable(static_cast<const uint32_t *>(own), 1024, 64, PixelAccess::ReadWrite);
    void *gone = mmap(nullptr, 4 * kPage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    munmap(gone, 4 * kPage);
    const bool goneReachable = kv::hostPixelsReachable(static_cast<const uint32_t *>(gone), 1024, 4, PixelAccess::Read);
    // The child's own query files took the place of the two it inherited.
    _exit(ownReachable && !goneReachable && openDescriptors() == descriptors ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST(HostPixelRangeArguments, NullPointersAndNonPositiveOrWrappingSizesFail) {
  const uint32_t pixel = 0;
  EXPECT_FALSE(kv::hostPixelsReachable(nullptr, 1, 1, PixelAccess::Read));
  EXPECT_FALSE(kv::hostPixelsReachable(&pixel, 0, 1, PixelAccess::Read));
  EXPECT_FALSE(kv::hostPixelsReachable(&pixel, 1, -1, PixelAccess::Read));
  EXPECT_TRUE(kv::hostPixelsReachable(&pixel, 1, 1, PixelAccess::Read));
  const auto *nearTop = reinterpret_cast<const uint32_t *>(UINTPTR_MAX - 7);
  EXPECT_FALSE(kv::hostPixelsReachable(nearTop, 3, 1, PixelAccess::Read));  // would wrap past the top
}

}  // namespace
