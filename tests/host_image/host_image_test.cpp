// Probing a host image's pixel range: every page is checked, writes are checked without
// changing the host's pixels, a frame costs one page-mapping call (or, without it, one read
// and one write call per 1024 pages), and the same answers come where a kernel lacks the
// mapping call or a sandbox refuses the kernel's cross-process copy calls.
#include <gtest/gtest.h>
#include <sys/mman.h>

#include <cerrno>
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

// Each case runs with the page-mapping call, and without it with the kernel copy calls
// working, and refused as a sandbox refuses them.
constexpr int kPopulate = -1;
class HostPixelRange : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override {
    g_reads = g_writes = 0;
    g_refusal = GetParam() == kPopulate ? 0 : GetParam();
    kv::setKernelCopyForTesting(countedRead, countedWrite);
    if (GetParam() != kPopulate) kv::setPagePopulateForTesting(nullptr);
  }
  void TearDown() override {
    g_refusal = 0;
    kv::setKernelCopyForTesting(nullptr, nullptr);
    kv::setPagePopulateForTesting(nullptr, true);
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

TEST_P(HostPixelRange, WritableImagesPassAndKeepTheirPixels) {
  Pages pages({PROT_READ | PROT_WRITE, PROT_READ | PROT_WRITE, PROT_READ | PROT_WRITE});
  EXPECT_TRUE(kv::hostPixelsReachable(pages.pixels(), 16, pages.rowsToLastPage(), PixelAccess::ReadWrite));
  for (size_t page = 0; page < 3; ++page) EXPECT_TRUE(pages.patternIntact(page)) << page;
}

TEST_P(HostPixelRange, HostImagePointerChainsResolve) {
  const uint32_t handle = kvhost_image_create(4, 4);
  ASSERT_NE(handle, 0u);
  EXPECT_EQ(kv::hostImagePixels(handle), kvhost_image_pixels(handle));
  kvhost_image_destroy(handle);
  EXPECT_EQ(kv::hostImagePixels(0x800), nullptr);  // an object in the never-mapped first page
}

INSTANTIATE_TEST_SUITE_P(KernelCalls, HostPixelRange, ::testing::Values(kPopulate, 0, ENOSYS, EPERM),
                         [](const auto &info) {
                           return info.param == kPopulate ? std::string("PageMapping")
                                  : info.param == 0       ? std::string("Available")
                                                  : info.param == ENOSYS ? std::string("Missing")
                                                                         : std::string("Forbidden");
                         });

// The kernel calls counted, and passed on; the page-mapping call only where a case asks.
class HostPixelCalls : public ::testing::Test {
 protected:
  void SetUp() override {
    g_reads = g_writes = g_populates = 0;
    kv::setKernelCopyForTesting(countedRead, countedWrite);
    kv::setPagePopulateForTesting(nullptr);
  }
  void TearDown() override {
    g_refusal = 0;
    kv::setKernelCopyForTesting(nullptr, nullptr);
    kv::setPagePopulateForTesting(nullptr, true);
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
