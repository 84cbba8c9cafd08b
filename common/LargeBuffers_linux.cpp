#include "common/LargeBuffers.h"

#include <cstdint>
#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

namespace {

// A huge page covers 2 MiB; a smaller buffer could not hold one.
constexpr qsizetype kHugePageBytes = 2 * 1024 * 1024;

// glibc's own starting threshold; setting it keeps glibc from raising it later.
constexpr int kOwnMappingFrom = 128 * 1024;

} // namespace

void keepLargeBuffersApart()
{
#ifdef __GLIBC__
    ::mallopt(M_MMAP_THRESHOLD, kOwnMappingFrom);
#endif
}

void adviseHugePages(void *buffer, qsizetype bytes)
{
    if (bytes < kHugePageBytes)
        return;
    // The advice is given for whole pages. Widening the range to the pages that the buffer
    // touches keeps a buffer of its own mapping in one piece, which its later growth relies on.
    const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    const auto first = reinterpret_cast<std::uintptr_t>(buffer) & ~(page - 1);
    const auto end =
        (reinterpret_cast<std::uintptr_t>(buffer) + std::uintptr_t(bytes) + page - 1) & ~(page - 1);
    ::madvise(reinterpret_cast<void *>(first), end - first, MADV_HUGEPAGE);
}
