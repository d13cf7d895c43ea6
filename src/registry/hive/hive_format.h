// The Windows NT registry hive file ("regf"), as far as this program reads it itself: the
// header that says whether a file is a hive and whether its last write was completed, and an
// empty hive made from nothing (libhivex cannot create one), for tests and benchmarks.
// Layout from the published descriptions of the format: a 4096-byte base block, then "hbin"
// blocks of 4096-byte multiples holding cells; offsets in cells count from the first hbin.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform::hive {

constexpr std::size_t kBaseBlockSize = 0x1000;
// A disk sector: the part of the base block that holds every field Windows reads (written
// alone, it reaches the disk whole or not at all), and the unit of a log's dirty pages.
constexpr std::size_t kSectorSize = 512;
// Hive bins are multiples of this, and the first bin's header follows the base block.
constexpr std::size_t kBinAlignment = 0x1000;

// Where the base block keeps its fields.
namespace field {
constexpr std::size_t kSequence1 = 4;
constexpr std::size_t kSequence2 = 8;
constexpr std::size_t kTimeStamp = 12;  // FILETIME, UTC: the time of the last write
constexpr std::size_t kMajor = 0x14;
constexpr std::size_t kMinor = 0x18;
constexpr std::size_t kFileType = 0x1C;
constexpr std::size_t kFileFormat = 0x20;
constexpr std::size_t kRootCell = 0x24;
constexpr std::size_t kBinsSize = 0x28;
constexpr std::size_t kCluster = 0x2C;
constexpr std::size_t kChecksum = 0x1FC;
// In a bin's header: its offset and size, and (first bin only) a copy of the last write's time;
// the first cell follows the header.
constexpr std::size_t kBinOffset = 4;
constexpr std::size_t kBinSize = 8;
constexpr std::size_t kBinTimeStamp = 0x14;
constexpr std::size_t kBinCells = 0x20;
}  // namespace field

constexpr std::uint32_t kPrimaryFile = 0;
constexpr std::uint32_t kLogFile = 1;

inline std::uint32_t Le32(const std::uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline std::uint64_t Le64(const std::uint8_t* p) {
    return Le32(p) | (static_cast<std::uint64_t>(Le32(p + 4)) << 32);
}
inline void PutLe32(std::uint8_t* p, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(value >> (8 * i));
}
inline void PutLe64(std::uint8_t* p, std::uint64_t value) {
    PutLe32(p, static_cast<std::uint32_t>(value));
    PutLe32(p + 4, static_cast<std::uint32_t>(value >> 32));
}

struct Header {
    std::uint32_t sequence1 = 0;  // offset 4: raised when a write begins
    std::uint32_t sequence2 = 0;  // offset 8: set equal when it has been completed
    std::uint64_t timeStamp = 0;  // offset 12: FILETIME of the last write
    std::uint32_t major = 0;
    std::uint32_t minor = 0;
    std::uint32_t fileType = 0;    // 0 a hive, 1 a log, 2 an alternate file
    std::uint32_t fileFormat = 0;  // 1: memory image
    std::uint32_t rootCell = 0;
    std::uint32_t binsSize = 0;  // bytes of hbins after the base block
    std::uint32_t cluster = 0;   // sectors of 512 bytes in the disk's sector
    std::uint32_t checksum = 0;
    std::uint32_t computedChecksum = 0;
};

// The checksum a base block stores, by Windows' rule: the XOR of its first 127 double words,
// except that a XOR of 0 is stored as 1 and one of 0xFFFFFFFF as 0xFFFFFFFE.
std::uint32_t HeaderChecksum(const std::uint8_t* base);
// Sets a base block's checksum.
void SetHeaderChecksum(std::uint8_t* base);

// Reads the header of a file's first bytes; "" or why they are no hive's. A header whose
// sequence numbers differ is read (and "" returned): callers decide what to do with it.
std::string ReadHeader(std::string_view bytes, std::uint64_t fileSize, Header* header);

// "" when the bins of a hive's bins data (bins: binsSize bytes from the first bin) follow one
// another as the format has them: each starts with "hbin" and its own offset, is a multiple of
// 4096 bytes, and the last ends at binsSize; else what is wrong, and where. starts, when
// given, gets the offset of each bin.
std::string CheckBins(const std::uint8_t* bins, std::uint32_t binsSize,
                      std::vector<std::uint32_t>* starts = nullptr);

// The FILETIME of a time given in nanoseconds since 1970 (UTC).
std::uint64_t FileTime(std::int64_t unixNanoseconds);

// An empty hive of version 1.minor whose root key has this name (ASCII), its security
// descriptor granting everyone full access, the sequence numbers equal.
std::string MakeEmptyHive(std::string_view rootName, std::uint32_t minor = 3);

}  // namespace platform::hive
