// The library's surface as a host meets it: exactly fifteen exported names, and bad
// input answered with failure values instead of crashes.
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "api/library_under_test.h"
#include "testing/d3d9_control.h"

namespace {

constexpr int32_t kFail = static_cast<int32_t>(0x80004005u);

std::set<std::string> definedDynamicSymbols(const char *path) {
  std::set<std::string> names;
  const std::string command = std::string("nm -D --defined-only ") + path;
  FILE *pipe = popen(command.c_str(), "r");
  if (!pipe) return names;
  char line[512];
  while (std::fgets(line, sizeof line, pipe)) {
    char address[64], type[8], name[400];
    if (std::sscanf(line, "%63s %7s %399s", address, type, name) == 3) names.insert(name);
  }
  pclose(pipe);
  return names;
}

TEST(LibrarySymbols, ExactlyTheFifteenExportsAndNothingElse) {
  const std::set<std::string> expected = {"create",        "dispose",        "setWindowSize", "loadTexture",
                                          "clearTextures", "makePolygon",    "setupTextures", "setupTranslate",
                                          "setupScale",    "setupRotX",      "setupRotY",     "setupRotZ",
                                          "disposePolygon", "clearPolygons", "drawPaint"};
  EXPECT_EQ(definedDynamicSymbols(KV_LIBRARY_PATH), expected);
}

using BadInput = HostTest;

TEST_F(BadInput, NullPointersAreRefusedWithFailureValues) {
  EXPECT_EQ(kv.makePolygon(1, nullptr), 0u);
  const float quad[8] = {0, 0, 0, 1, 1, 0, 1, 1};
  const uint32_t n = kv.makePolygon(1, quad);
  ASSERT_EQ(n, 1u);  // the failed call used no number
  const float coords[8] = {};
  EXPECT_EQ(kv.setupTextures(n, nullptr, 0, coords), 0);
  EXPECT_EQ(kv.setupTextures(n, "none", 0, nullptr), 0);
  EXPECT_EQ(kv.loadTexture(nullptr, 0, 4, 4), 0);
  // Transforms with no floats change nothing; their result carries no meaning.
  kv.setupTranslate(n, nullptr, 0);
  kv.setupScale(n, nullptr, 0);
  kv.setupRotX(n, nullptr, 0);
  kv.setupRotY(n, nullptr, 0);
  kv.setupRotZ(n, nullptr, 0);
  kv.disposePolygon(12345);
}

TEST_F(BadInput, ImageHandleZeroFailsTheFrame) {
  EXPECT_EQ(kv.drawPaint(0, 544, 416), kFail);
  EXPECT_EQ(kv.loadTexture("t", 0, 4, 4), 0);
}

TEST_F(BadInput, APointerChainWithANullWordFailsWithoutTouchingMemory) {
  for (int word : {16, -1}) {
    HostImage image(8, 8);
    // Break the chain: the image object's first link, or (with -1) the last one.
    auto *object = reinterpret_cast<unsigned char *>(static_cast<uintptr_t>(image.handle()) * 2);
    uint32_t link = 0;
    if (word == 16) {
      std::memset(object + 16, 0, 4);
    } else {
      std::memcpy(&link, object + 16, 4);
      auto *bitmap = reinterpret_cast<unsigned char *>(static_cast<uintptr_t>(link));
      std::memcpy(&link, bitmap + 8, 4);
      auto *info = reinterpret_cast<unsigned char *>(static_cast<uintptr_t>(link));
      std::memset(info + 16, 0, 4);
    }
    EXPECT_EQ(kv.drawPaint(image.handle(), 8, 8), kFail);
    EXPECT_EQ(kv.loadTexture("t", image.handle(), 8, 8), 0);
  }
}

TEST_F(BadInput, HandlesLeadingIntoUnmappedMemoryFail) {
  EXPECT_EQ(kv.drawPaint(0x10, 8, 8), kFail);  // an object at address 0x20
  HostImage image(8, 8);
  auto *object = reinterpret_cast<unsigned char *>(static_cast<uintptr_t>(image.handle()) * 2);
  const uint32_t nowhere = 0x1000;  // the first pages are never mapped
  std::memcpy(object + 16, &nowhere, 4);
  EXPECT_EQ(kv.drawPaint(image.handle(), 8, 8), kFail);
  EXPECT_EQ(kv.loadTexture("t", image.handle(), 8, 8), 0);
}

// Low pages holding a host image object at the start of the first page, its records behind
// it and its pixels at the given offset; then each page gets its own protection.
class LowPages {
 public:
  LowPages(std::vector<int> protections, size_t pixelOffset) : length_(protections.size() * 4096) {
    void *low = mmap(nullptr, length_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_32BIT, -1, 0);
    EXPECT_NE(low, MAP_FAILED);
    base_ = static_cast<unsigned char *>(low);
    const uint32_t bitmap = word(base_ + 32), info = word(base_ + 48), pixels = word(base_ + pixelOffset);
    std::memcpy(base_ + 16, &bitmap, 4);
    std::memcpy(base_ + 32 + 8, &info, 4);
    std::memcpy(base_ + 48 + 16, &pixels, 4);
    for (size_t i = 0; i < protections.size(); ++i) EXPECT_EQ(mprotect(base_ + i * 4096, 4096, protections[i]), 0);
  }
  ~LowPages() { munmap(base_, length_); }
  uint32_t handle() const { return word(base_) / 2; }
  const unsigned char *page(size_t i) const { return base_ + i * 4096; }

 private:
  static uint32_t word(const void *p) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(p)); }
  size_t length_;
  unsigned char *base_;
};

constexpr int kReadWrite = PROT_READ | PROT_WRITE;

TEST_F(BadInput, APixelArrayShorterThanTheSizeGivenFails) {
  // The pixels end 16 bytes before an unreadable page.
  LowPages pages({kReadWrite, PROT_NONE}, 4096 - 16);
  EXPECT_EQ(kv.drawPaint(pages.handle(), 2, 2), 0);       // 16 bytes: fits
  EXPECT_EQ(kv.drawPaint(pages.handle(), 4, 4), kFail);   // 64 bytes: runs into the unreadable page
  EXPECT_EQ(kv.loadTexture("t", pages.handle(), 4, 4), 0);
}

TEST_F(BadInput, AHeightTwoRowsTooLargeOverAnUnmappedPageFails) {
  // Rows of one page each: two real rows, then a hole, then memory that is not the image.
  // Both the first and the last pixel of the stated range are readable.
  LowPages pages({kReadWrite, kReadWrite, kReadWrite, PROT_NONE, kReadWrite}, 4096);
  EXPECT_EQ(kv.drawPaint(pages.handle(), 1024, 2), 0);
  EXPECT_EQ(kv.drawPaint(pages.handle(), 1024, 4), kFail);
  EXPECT_EQ(kv.loadTexture("t", pages.handle(), 1024, 4), 0);
}

TEST_F(BadInput, AFrameRunningIntoReadOnlyMemoryFailsAndWritesNothing) {
  LowPages pages({kReadWrite, kReadWrite, PROT_READ}, 4096);
  const std::vector<unsigned char> before(pages.page(2), pages.page(2) + 4096);
  EXPECT_EQ(kv.drawPaint(pages.handle(), 1024, 2), kFail);
  EXPECT_TRUE(std::equal(before.begin(), before.end(), pages.page(2)));
}

// A frame that cannot reach its image asks nothing of the device: no reset, no purge, no
// drawing, although the device waits for a reset and a disposed polygon for its purge.
TEST_F(BadInput, AnImageThatCannotBeReachedFailsTheFrameBeforeAnyDeviceCall) {
  ASSERT_EQ(kv.create(), 1);
  const float quad[8] = {-100, 100, -100, -100, 100, 100, 100, -100};
  ASSERT_NE(kv.makePolygon(1, quad), 0u);
  kv.disposePolygon(kv.makePolygon(1, quad));
  kvtest::d3d9LoseDevice();
  kvtest::d3d9MakeResettable();
  LowPages hole({kReadWrite, kReadWrite, kReadWrite, PROT_NONE, kReadWrite}, 4096);
  LowPages readOnly({kReadWrite, kReadWrite, PROT_READ}, 4096);
  kvtest::d3d9EnableCallLog(true);
  EXPECT_EQ(kv.drawPaint(0, 8, 8), kFail);
  EXPECT_EQ(kv.drawPaint(0x10, 8, 8), kFail);  // an object at address 0x20
  EXPECT_EQ(kv.drawPaint(hole.handle(), 1024, 4), kFail);
  EXPECT_EQ(kv.drawPaint(readOnly.handle(), 1024, 2), kFail);
  EXPECT_EQ(kv.drawPaint(hole.handle(), 1024, 0), kFail);
  const std::vector<std::string> calls = kvtest::d3d9CallLog();
  EXPECT_TRUE(calls.empty()) << calls.size() << " device calls, the first " << (calls.empty() ? "" : calls.front());

  // The device was ready to be asked: a reachable image gets the reset and the frame.
  HostImage frame(64, 48);
  EXPECT_EQ(kv.drawPaint(frame.handle(), 64, 48), 0);
  const std::vector<std::string> drawn = kvtest::d3d9CallLog();
  EXPECT_NE(std::find(drawn.begin(), drawn.end(), "Reset()"), drawn.end());
  EXPECT_NE(std::find(drawn.begin(), drawn.end(), "EndScene()"), drawn.end());
}

// Forbids the kernel's cross-process copy calls in this process, as seccomp sandboxes do.
bool forbidCrossProcessCopies() {
  sock_filter filter[] = {
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_process_vm_readv, 2, 0),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_process_vm_writev, 1, 0),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | (EPERM & SECCOMP_RET_DATA)),
  };
  sock_fprog program{static_cast<unsigned short>(sizeof filter / sizeof filter[0]), filter};
  return prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 && prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0;
}

// The host in its sandbox: frames still succeed, and bad images still fail without a crash.
[[noreturn]] void sandboxedHost(const KvPolygonExports &kv) {
  if (!forbidCrossProcessCopies()) std::_Exit(2);
  char byte = 0, copy = 0;
  iovec local{&copy, 1}, remote{&byte, 1};
  if (process_vm_readv(getpid(), &local, 1, &remote, 1, 0) != -1 || errno != EPERM) std::_Exit(3);
  {
    HostImage frame(64, 48);
    if (kv.drawPaint(frame.handle(), 64, 48) != 0) std::_Exit(4);
    LowPages hole({kReadWrite, kReadWrite, kReadWrite, PROT_NONE, kReadWrite}, 4096);
    if (kv.drawPaint(hole.handle(), 1024, 4) != kFail) std::_Exit(5);
    if (kv.loadTexture("t", hole.handle(), 1024, 4) != 0) std::_Exit(6);
    LowPages readOnly({kReadWrite, kReadWrite, PROT_READ}, 4096);
    if (kv.drawPaint(readOnly.handle(), 1024, 2) != kFail) std::_Exit(7);
  }
  kv.dispose();
  std::exit(0);
}

TEST_F(BadInput, ASandboxThatForbidsCrossProcessCopiesStillGetsFramesAndRefusals) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");  // the filter stays with the child alone
  EXPECT_EXIT(sandboxedHost(kv), ::testing::ExitedWithCode(0), "");
}

TEST_F(BadInput, NonPositiveFrameSizesFail) {
  HostImage image(4, 4);
  EXPECT_EQ(kv.drawPaint(image.handle(), 0, 4), kFail);
  EXPECT_EQ(kv.drawPaint(image.handle(), 4, -1), kFail);
  EXPECT_EQ(kv.loadTexture("t", image.handle(), -4, 4), 0);
}

TEST_F(BadInput, SceneFailureValuesOfEveryExport) {
  kvtest::d3d9FailCreate(true);
  const float f[8] = {};
  EXPECT_EQ(kv.create(), 0);
  EXPECT_EQ(kv.loadTexture("t", 0, 1, 1), 0);
  EXPECT_EQ(kv.clearTextures(), 0);
  EXPECT_EQ(kv.makePolygon(1, f), 0u);
  EXPECT_EQ(kv.setupTextures(1, "t", 0, f), 0);
  EXPECT_EQ(kv.setupTranslate(1, f, 0), 0);
  EXPECT_EQ(kv.setupScale(1, f, 0), 0);
  EXPECT_EQ(kv.setupRotX(1, f, 0), 0);
  EXPECT_EQ(kv.setupRotY(1, f, 0), 0);
  EXPECT_EQ(kv.setupRotZ(1, f, 0), 0);
  EXPECT_EQ(kv.disposePolygon(1), 0);
  EXPECT_EQ(kv.clearPolygons(), 0);
  EXPECT_EQ(kv.drawPaint(0, 1, 1), kFail);
  EXPECT_EQ(kv.setWindowSize(10, 10), 10u);  // needs no scene
  kv.dispose();
}

}  // namespace
