#include "common/LargeBuffers.h"

#include <cstdint>
#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

namespace {

// Setting the threshold also keeps glibc from moving it later.
constexpr int kOwnMappingFrom = 8 * 1024 * 1024;

// A huge page covers 2 MiB and is cleared whole when first written. In a buffer of a few MiB the
// last one would mostly be cleared for nothing, and handed back when the text is trimmed to its
// size. Only buffers of a mapping of their own are advised: advice given to part of the heap would
// outlive the buffer.
constexpr qsizetype kHugePagesFrom = kOwnMappingFrom;

// Advice is given for whole pages. Widening the range to the pages that it touches keeps a buffer
// of its own mapping in one piece, which its later growth relies on. A system that does not know
// the advice refuses it, and nothing changes.
void advise(void *from, qsizetype bytes, int advice)
{
    const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    const auto start = reinterpret_cast<std::uintptr_t>(from);
    const auto first = start & ~(page - 1);
    const auto end = (start + std::uintptr_t(bytes) + page - 1) & ~(page - 1);
    ::madvise(reinterpret_cast<void *>(first), end - first, advice);
}

} // namespace

void keepLargeBuffersApart()
{
#ifdef __GLIBC__
    ::mallopt(M_MMAP_THRESHOLD, kOwnMappingFrom);
#endif
}

void adviseHugePages(void *buffer, qsizetype bytes)
{
    if (bytes >= kHugePagesFrom)
        advise(buffer, bytes, MADV_HUGEPAGE);
}

void providePages(void *from, qsizetype bytes)
{
    if (bytes > 0)
        advise(from, bytes, MADV_POPULATE_WRITE);
}
