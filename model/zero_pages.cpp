#include "model/zero_pages.h"

#include <sys/mman.h>

void* allocateZeroPages(std::size_t bytes, bool populate)
{
    int flags = MAP_PRIVATE | MAP_ANONYMOUS | (populate ? MAP_POPULATE : 0);
    void* pages = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, flags, -1, 0);
    if (pages == MAP_FAILED)
        throw std::bad_alloc();
    return pages;
}

void freeZeroPages(void* pages, std::size_t bytes)
{
    if (pages)
        munmap(pages, bytes);
}

void clearZeroPages(void* pages, std::size_t bytes)
{
    // A private anonymous mapping reads as zeros again after MADV_DONTNEED.
    madvise(pages, bytes, MADV_DONTNEED);
}
