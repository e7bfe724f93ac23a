// Large buffers of the command line (whole recordings, the take being
// recorded, rendered takes) on transparent huge pages where the kernel offers
// them: the first touch of 2 MiB is one page fault instead of 512, which on
// a virtual machine is a good share of a whole run. Only the command line
// does this; the plug-in's audio thread must not wait for the kernel to find
// and clear a huge page.
#pragma once

#include <cstddef>
#include <vector>

// Asks for huge pages on the whole 2 MiB blocks inside [begin, begin + bytes),
// before they are first touched. Nothing happens where the kernel says no.
void adviseHugePages(void* begin, std::size_t bytes);

// count zero samples, on huge pages where the kernel offers them.
std::vector<float> hugeSampleVector(std::size_t count);

// Room for count samples (not yet touched), on huge pages where offered.
void reserveHugeSamples(std::vector<float>& samples, std::size_t count);
