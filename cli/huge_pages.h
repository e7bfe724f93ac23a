// Large buffers of the command line (whole recordings, the take being
// recorded, rendered takes) on transparent huge pages where the kernel offers
// them: the first touch of 2 MiB is one page fault instead of 512, which on
// a virtual machine is a good share of a whole run. Only the command line
// does this; the plug-in's audio thread must not wait for the kernel to find
// and clear a huge page.
#pragma once

#include <cstddef>
#include <vector>

// Asks for huge pages on the whole 2 MiB blocks inside [begin, begin + bytes)
// and maps the range in at once, before it is first touched: memory about to
// be written in full. Where the kernel says no, the pages fault in as usual.
void adviseHugePages(const void* begin, std::size_t bytes);

// count zero samples, on huge pages where the kernel offers them.
std::vector<float> hugeSampleVector(std::size_t count);

// Room for count samples (not yet touched), on huge pages where offered.
void reserveHugeSamples(std::vector<float>& samples, std::size_t count);
