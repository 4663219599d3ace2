// The binary facts a 32-bit host relies on: which exports remove their own arguments from
// the stack, and the sizes and offsets of the structures that cross into Direct3D.
#include <cstddef>
#include <cstdint>
#include <initializer_list>

#include "api/library_under_test.h"
#include "gfx/platform.h"
#include "scene/kv_polygon.h"

namespace {

#if defined(__i386__)
struct RawCall {
  uint32_t result;
  int32_t bytesRemoved;  // of arguments, by the callee: 4 * n for callee pops, 0 for caller pops
};

// Calls fn with the given 32-bit arguments pushed as a host's compiled code pushes them,
// without telling the compiler the calling convention, and measures how far the stack
// pointer moved up across the call. The stack is 16-byte aligned at the call, as the
// platform's ABI wants.
RawCall callRaw(const void *fn, std::initializer_list<uint32_t> arguments) {
  uint32_t words[8] = {};
  uint32_t count = 0;
  for (uint32_t a : arguments) words[count++] = a;
  uint32_t eax = (16 - (4 * count) % 16) % 16;  // padding below the aligned stack top
  uint32_t ecx = count;
  const uint32_t *edx = words;
  asm volatile(
      "movl %%esp, %%esi\n\t"
      "andl $-16, %%esp\n\t"
      "subl %%eax, %%esp\n\t"
      "1:\n\t"
      "testl %%ecx, %%ecx\n\t"
      "jz 2f\n\t"
      "pushl -4(%%edx,%%ecx,4)\n\t"
      "decl %%ecx\n\t"
      "jmp 1b\n\t"
      "2:\n\t"
      "movl %%esp, %%edi\n\t"
      "call *%%ebx\n\t"
      "movl %%esp, %%ecx\n\t"
      "subl %%edi, %%ecx\n\t"
      "movl %%esi, %%esp\n\t"
      : "+a"(eax), "+c"(ecx), "+d"(edx)
      : "b"(fn)
      : "esi", "edi", "memory", "cc");
  return {eax, static_cast<int32_t>(ecx)};
}

template <typename F>
const void *address(F f) {
  return reinterpret_cast<const void *>(f);
}
#endif

using CallingConvention = HostTest;

TEST_F(CallingConvention, CalleePopsExportsRemoveTheirArgumentsAndTheOthersLeaveThem) {
#if !defined(__i386__)
  GTEST_SKIP() << "only 32-bit x86 has two calling conventions; elsewhere every export uses the one";
#else
  const float quad[8] = {0, 0, 0, 1, 1, 0, 1, 1};
  const auto word = [](const void *p) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(p)); };

  // Callee pops: the stack pointer is back where it was before the arguments were pushed.
  RawCall call = callRaw(address(kv.setWindowSize), {320, 240});
  EXPECT_EQ(call.result, 320u) << "setWindowSize returns the width it was given";
  EXPECT_EQ(call.bytesRemoved, 8);
  EXPECT_EQ(callRaw(address(kv.loadTexture), {0, 0, 4, 4}).bytesRemoved, 16);
  for (auto fn : {kv.setupTranslate, kv.setupScale, kv.setupRotX, kv.setupRotY, kv.setupRotZ})
    EXPECT_EQ(callRaw(address(fn), {7, 0, 0}).bytesRemoved, 12);
  EXPECT_EQ(callRaw(address(kv.disposePolygon), {7}).bytesRemoved, 4);
  call = callRaw(address(kv.drawPaint), {0, 8, 8});
  EXPECT_EQ(call.result, 0x80004005u) << "no image: E_FAIL";
  EXPECT_EQ(call.bytesRemoved, 12);

  // Caller pops: the arguments are still on the stack after the return.
  call = callRaw(address(kv.makePolygon), {1, word(quad)});
  EXPECT_EQ(call.result, 1u) << "makePolygon read both arguments";
  EXPECT_EQ(call.bytesRemoved, 0);
  EXPECT_EQ(callRaw(address(kv.setupTextures), {1, word("none"), 0, word(quad)}).bytesRemoved, 0);
  EXPECT_EQ(callRaw(address(kv.create), {}).bytesRemoved, 0);
  EXPECT_EQ(callRaw(address(kv.clearTextures), {}).bytesRemoved, 0);
  EXPECT_EQ(callRaw(address(kv.clearPolygons), {}).bytesRemoved, 0);
  EXPECT_EQ(callRaw(address(kv.dispose), {}).bytesRemoved, 0);
#endif
}

// The structures the library hands to Direct3D and reads back are laid out as the
// platform's own: 4-byte pointers in a 32-bit build.
TEST(StructureLayout, VertexAndLockStructuresMatchThePlatform) {
  constexpr size_t word = sizeof(void *);
  EXPECT_EQ(sizeof(kv::PolygonVertex), 28u);
  EXPECT_EQ(offsetof(kv::PolygonVertex, x), 0u);
  EXPECT_EQ(offsetof(kv::PolygonVertex, z), 8u);
  EXPECT_EQ(offsetof(kv::PolygonVertex, u0), 12u);
  EXPECT_EQ(offsetof(kv::PolygonVertex, u1), 20u);
  EXPECT_EQ(offsetof(kv::PolygonVertex, v1), 24u);

  EXPECT_EQ(offsetof(D3DLOCKED_RECT, Pitch), 0u);
  EXPECT_EQ(offsetof(D3DLOCKED_RECT, pBits), word);
  EXPECT_EQ(sizeof(D3DLOCKED_RECT), 2 * word);

  EXPECT_EQ(sizeof(D3DSURFACE_DESC), 32u);
  EXPECT_EQ(offsetof(D3DSURFACE_DESC, Format), 0u);
  EXPECT_EQ(offsetof(D3DSURFACE_DESC, Type), 4u);
  EXPECT_EQ(offsetof(D3DSURFACE_DESC, Usage), 8u);
  EXPECT_EQ(offsetof(D3DSURFACE_DESC, Pool), 12u);
  EXPECT_EQ(offsetof(D3DSURFACE_DESC, MultiSampleType), 16u);
  EXPECT_EQ(offsetof(D3DSURFACE_DESC, MultiSampleQuality), 20u);
  EXPECT_EQ(offsetof(D3DSURFACE_DESC, Width), 24u);
  EXPECT_EQ(offsetof(D3DSURFACE_DESC, Height), 28u);
#if defined(__i386__)
  EXPECT_EQ(word, 4u);
  EXPECT_EQ(sizeof(D3DLOCKED_RECT), 8u);
#endif
}

}  // namespace
