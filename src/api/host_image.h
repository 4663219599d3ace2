// Reaching a host image's pixels through the host's object layout.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(__linux__)
#include <sys/types.h>
#include <sys/uio.h>
#endif

namespace kv {

// Follows handle -> object (at handle * 2) -> word 16 -> bitmap record -> word 8 ->
// bitmap-information record -> word 16 -> pixels. Null when the handle is 0, a word on the
// way is 0 or leads to memory the process cannot read, or an address does not fit the
// platform's pointers.
uint32_t *hostImagePixels(uint32_t handle);

// What a call does with a host image's pixels.
enum class PixelAccess { Read, ReadWrite };

// Whether width x height pixels from pixels on lie in memory the process can read (and,
// for ReadWrite, write). On Linux the kernel's description of the mappings answers first,
// in a time that does not depend on the number of pages: the mappings across the range
// with their access, and a scan of the range's page tables for guard pages. Where it cannot
// tell (an older kernel, no /proc, memory backed by a file), the kernel is asked to map the
// range's pages with that access (one call, the bytes untouched); where that fails, every
// page is probed through the kernel, with the probed bytes written back unchanged. A range
// that runs on into another mapped allocation cannot be told from the image. Elsewhere only
// the arguments are checked.
// False for a null pointer or a non-positive size.
bool hostPixelsReachable(const uint32_t *pixels, int width, int height, PixelAccess access);

#if defined(__linux__)
// The kernel's cross-process copy calls (process_vm_readv, process_vm_writev). Tests put
// stand-ins in their place to exercise the path taken where a sandbox refuses them; null
// restores the real calls.
using KernelCopy = ssize_t (*)(pid_t, const iovec *, unsigned long, const iovec *, unsigned long, unsigned long);
void setKernelCopyForTesting(KernelCopy read, KernelCopy write);

// Whether the kernel's description of the mappings is asked first (the default); tests turn
// it off to reach the page-by-page checks behind it.
void setMappingQueryForTesting(bool enabled);

// The kernel's page-mapping call (madvise with MADV_POPULATE_READ / _WRITE). Tests put a
// stand-in, or null for a kernel without it, in its place; useDefault restores the real one.
using PagePopulate = int (*)(void *, size_t, int);
void setPagePopulateForTesting(PagePopulate populate, bool useDefault = false);
#endif

}  // namespace kv
