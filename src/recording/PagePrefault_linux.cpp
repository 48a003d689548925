// SPDX-License-Identifier: MIT
#include "recording/PagePrefault.h"

#include <cstdint>

#include <sys/mman.h>
#include <unistd.h>

void prefaultPages(void *memory, std::size_t bytes)
{
#ifdef MADV_POPULATE_WRITE
    static const long pageSize = sysconf(_SC_PAGESIZE);
    if (pageSize <= 0)
        return;
    // Only the whole pages inside the memory: the first and the last may be
    // shared with other allocations, and are mapped as they are written.
    const auto page = std::uintptr_t(pageSize);
    const auto begin = reinterpret_cast<std::uintptr_t>(memory);
    const std::uintptr_t from = (begin + page - 1) & ~(page - 1);
    const std::uintptr_t to = (begin + bytes) & ~(page - 1);
    // A kernel older than 5.14 answers EINVAL: the pages fault as before.
    if (to > from)
        madvise(reinterpret_cast<void *>(from), to - from, MADV_POPULATE_WRITE);
#else
    (void)memory;
    (void)bytes;
#endif
}
