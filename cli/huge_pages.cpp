#include "cli/huge_pages.h"

#include <cstdint>
#include <sys/mman.h>

namespace {

constexpr std::uintptr_t kHugePage = std::uintptr_t {2} << 20;

} // namespace

void adviseHugePages(void* begin, std::size_t bytes)
{
#ifdef MADV_HUGEPAGE
    const auto start = reinterpret_cast<std::uintptr_t>(begin);
    const std::uintptr_t first = (start + kHugePage - 1) & ~(kHugePage - 1);
    const std::uintptr_t last = (start + bytes) & ~(kHugePage - 1);
    if (last > first)
        madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#else
    (void)begin;
    (void)bytes;
#endif
}

void reserveHugeSamples(std::vector<float>& samples, std::size_t count)
{
    samples.reserve(count);
    adviseHugePages(samples.data(), samples.capacity() * sizeof(float));
}

std::vector<float> hugeSampleVector(std::size_t count)
{
    std::vector<float> samples;
    reserveHugeSamples(samples, count);
    samples.resize(count, 0.0f);
    return samples;
}
