#include "cli/huge_pages.h"

#include <cstdint>
#include <sys/mman.h>
#include <unistd.h>

namespace {

constexpr std::uintptr_t kHugePage = std::uintptr_t {2} << 20;

std::uintptr_t roundDown(std::uintptr_t address, std::uintptr_t unit)
{
    return address & ~(unit - 1);
}

std::uintptr_t roundUp(std::uintptr_t address, std::uintptr_t unit)
{
    return roundDown(address + unit - 1, unit);
}

} // namespace

void adviseHugePages(const void* begin, std::size_t bytes)
{
    const auto start = reinterpret_cast<std::uintptr_t>(begin);
#ifdef MADV_HUGEPAGE
    const std::uintptr_t first = roundUp(start, kHugePage);
    const std::uintptr_t last = roundDown(start + bytes, kHugePage);
    if (last > first)
        madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#endif
#ifdef MADV_POPULATE_WRITE
    // The pages around the huge ones (up to 2 MiB at each end) in one call
    // instead of a fault each; older kernels refuse, and then they fault.
    const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    const std::uintptr_t from = roundUp(start, page);
    const std::uintptr_t to = roundDown(start + bytes, page);
    if (to > from)
        madvise(reinterpret_cast<void*>(from), to - from, MADV_POPULATE_WRITE);
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
