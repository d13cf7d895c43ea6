// The Windows NT registry hive file ("regf"), as far as this program reads it itself: the
// header that says whether a file is a hive and whether its last write was completed, and an
// empty hive made from nothing (libhivex cannot create one), for tests and benchmarks.
// Layout from the published descriptions of the format: a 4096-byte base block, then "hbin"
// blocks of 4096-byte multiples holding cells; offsets in cells count from the first hbin.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace platform::hive {

constexpr std::size_t kBaseBlockSize = 0x1000;

struct Header {
    std::uint32_t sequence1 = 0;  // offset 4: raised when a write begins
    std::uint32_t sequence2 = 0;  // offset 8: set equal when it has been completed
    std::uint32_t major = 0;
    std::uint32_t minor = 0;
    std::uint32_t fileType = 0;    // 0 a hive, 1 a log, 2 an alternate file
    std::uint32_t fileFormat = 0;  // 1: memory image
    std::uint32_t rootCell = 0;
    std::uint32_t binsSize = 0;  // bytes of hbins after the base block
    std::uint32_t checksum = 0;
    std::uint32_t computedChecksum = 0;
};

// The checksum of a base block as Windows stores it: the XOR of its first 127 double words,
// 1 where that is 0 and 0xFFFFFFFE where it is 0xFFFFFFFF.
std::uint32_t HeaderChecksum(const std::uint8_t* base);

// Reads the header of a file's first bytes; "" or why they are no hive's. A header whose
// sequence numbers differ is read (and "" returned): callers decide what to do with it.
std::string ReadHeader(std::string_view bytes, std::uint64_t fileSize, Header* header);

// An empty hive of version 1.minor whose root key has this name (ASCII), its security
// descriptor granting everyone full access, the sequence numbers equal.
std::string MakeEmptyHive(std::string_view rootName, std::uint32_t minor = 3);

}  // namespace platform::hive
