// Hives made byte by byte for the journal's tests: an empty hive (hive_format.h) with bins of
// given sizes after its first, each one free cell, so that any byte of those cells can change
// and the hive stays one that the format allows.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testing_support {

// An empty hive of version 1.minor with bins of these sizes (multiples of 4096) added.
std::string HiveWithBins(const std::vector<std::uint32_t>& sizes, std::uint32_t minor = 5);

// Appends a bin of this size to a hive image, one free cell, and says so in its base block.
void AddBin(std::string* image, std::uint32_t size);

// Fills bytes [offset, offset + size) of the bins data with a pattern made from seed, inside
// free cells (offsets past a bin's header).
void Scribble(std::string* image, std::uint32_t offset, std::uint32_t size, int seed);

}  // namespace testing_support
