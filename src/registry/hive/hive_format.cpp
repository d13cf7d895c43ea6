#include "registry/hive/hive_format.h"

#include <cstring>

namespace platform::hive {

namespace {

void Put16(std::string& out, std::size_t at, std::uint16_t value) {
    out[at] = static_cast<char>(value & 0xFF);
    out[at + 1] = static_cast<char>(value >> 8);
}

void Put32(std::string& out, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) out[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

constexpr std::uint32_t kNone = 0xFFFFFFFF;
constexpr std::size_t kBinSize = 0x1000;
constexpr std::size_t kBinHeader = 0x20;

// A self-relative security descriptor: owner Administrators, group SYSTEM, a DACL that lets
// everyone (S-1-1-0) do everything, inherited by subkeys.
std::string SecurityDescriptor() {
    std::string sd(76, '\0');
    sd[0] = 1;                  // revision
    Put16(sd, 2, 0x8004);       // self-relative, DACL present
    Put32(sd, 4, 48);           // owner
    Put32(sd, 8, 64);           // group
    Put32(sd, 12, 0);           // no SACL
    Put32(sd, 16, 20);          // DACL
    sd[20] = 2;                 // ACL revision
    Put16(sd, 22, 28);          // ACL size
    Put16(sd, 24, 1);           // one ACE
    sd[28] = 0;                 // ACCESS_ALLOWED
    sd[29] = 0x02;              // CONTAINER_INHERIT
    Put16(sd, 30, 20);          // ACE size
    Put32(sd, 32, 0x000F003F);  // KEY_ALL_ACCESS
    const unsigned char everyone[12] = {1, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0};
    std::memcpy(&sd[36], everyone, sizeof everyone);
    const unsigned char admins[16] = {1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 0x20, 2, 0, 0};
    std::memcpy(&sd[48], admins, sizeof admins);
    const unsigned char system[12] = {1, 1, 0, 0, 0, 0, 0, 5, 18, 0, 0, 0};
    std::memcpy(&sd[64], system, sizeof system);
    return sd;
}

}  // namespace

std::uint32_t HeaderChecksum(const std::uint8_t* base) {
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < field::kChecksum; i += 4) sum ^= Le32(base + i);
    // Windows never stores these two sums: 0 and -1 mean "not computed" to its loader.
    if (sum == 0) return 1;
    if (sum == 0xFFFFFFFF) return 0xFFFFFFFE;
    return sum;
}

void SetHeaderChecksum(std::uint8_t* base) {
    PutLe32(base + field::kChecksum, HeaderChecksum(base));
}

std::string CheckBins(const std::uint8_t* bins, std::uint32_t binsSize,
                      std::vector<std::uint32_t>* starts) {
    if (starts) starts->clear();
    std::uint64_t at = 0;
    while (at < binsSize) {
        const std::uint8_t* bin = bins + at;
        const std::string where = "the hive bin at " + std::to_string(at);
        if (binsSize - at < field::kBinCells || std::memcmp(bin, "hbin", 4) != 0) {
            return where + " does not start with \"hbin\"";
        }
        if (Le32(bin + field::kBinOffset) != at) return where + " gives another offset";
        const std::uint32_t size = Le32(bin + field::kBinSize);
        if (size == 0 || size % kBinAlignment != 0 || size > binsSize - at) {
            return where + " has a size of " + std::to_string(size) + " bytes";
        }
        if (starts) starts->push_back(static_cast<std::uint32_t>(at));
        at += size;
    }
    return "";
}

std::uint64_t FileTime(std::int64_t unixNanoseconds) {
    // 100-nanosecond intervals since 1601-01-01.
    constexpr std::uint64_t kFrom1601To1970 = 116444736000000000ULL;
    return kFrom1601To1970 + static_cast<std::uint64_t>(unixNanoseconds / 100);
}

std::string ReadHeader(std::string_view bytes, std::uint64_t fileSize, Header* header) {
    if (bytes.size() < 4 || std::memcmp(bytes.data(), "regf", 4) != 0) {
        return "it does not start with \"regf\"";
    }
    if (bytes.size() < kBaseBlockSize || fileSize < 2 * kBaseBlockSize) {
        return "it is too short to be a hive";
    }
    const auto* p = reinterpret_cast<const std::uint8_t*>(bytes.data());
    header->sequence1 = Le32(p + field::kSequence1);
    header->sequence2 = Le32(p + field::kSequence2);
    header->timeStamp = Le64(p + field::kTimeStamp);
    header->major = Le32(p + field::kMajor);
    header->minor = Le32(p + field::kMinor);
    header->fileType = Le32(p + field::kFileType);
    header->fileFormat = Le32(p + field::kFileFormat);
    header->rootCell = Le32(p + field::kRootCell);
    header->binsSize = Le32(p + field::kBinsSize);
    header->cluster = Le32(p + field::kCluster);
    header->checksum = Le32(p + field::kChecksum);
    header->computedChecksum = HeaderChecksum(p);
    if (header->checksum != header->computedChecksum) return "its header is damaged (checksum)";
    if (header->major != 1 || header->minor < 1 || header->minor > 6) {
        return "its format version " + std::to_string(header->major) + "." +
               std::to_string(header->minor) + " is not one of Windows NT's";
    }
    if (header->fileType != 0) return "it is a log or an alternate file, not the hive itself";
    if (header->fileFormat != 1) return "its header names an unknown file format";
    if (header->binsSize == 0 || header->binsSize % kBinSize != 0 ||
        kBaseBlockSize + std::uint64_t{header->binsSize} > fileSize) {
        return "its header gives a size the file does not have";
    }
    if (header->rootCell >= header->binsSize) return "its header names no root key";
    return "";
}

std::string MakeEmptyHive(std::string_view rootName, std::uint32_t minor) {
    std::string hive(kBaseBlockSize + kBinSize, '\0');
    // The hbin.
    const std::size_t bin = kBaseBlockSize;
    std::memcpy(&hive[bin], "hbin", 4);
    Put32(hive, bin + 4, 0);
    Put32(hive, bin + 8, kBinSize);

    // The root key's nk cell, then its sk cell, then the rest of the bin free.
    const std::size_t nk = bin + kBinHeader;
    const std::size_t nkSize = (80 + rootName.size() + 7) & ~std::size_t{7};
    const std::size_t sk = nk + nkSize;
    const std::string descriptor = SecurityDescriptor();
    const std::size_t skSize = (24 + descriptor.size() + 7) & ~std::size_t{7};
    const std::size_t free = sk + skSize;
    const auto cell = [](std::size_t at) {
        return static_cast<std::uint32_t>(at - kBaseBlockSize);
    };

    Put32(hive, nk, static_cast<std::uint32_t>(-static_cast<std::int32_t>(nkSize)));
    std::memcpy(&hive[nk + 4], "nk", 2);
    Put16(hive, nk + 6, 0x2C);    // hive entry (root), not deletable, name in ASCII
    Put32(hive, nk + 20, kNone);  // no parent
    Put32(hive, nk + 32, kNone);  // no subkeys
    Put32(hive, nk + 36, kNone);
    Put32(hive, nk + 44, kNone);  // no values
    Put32(hive, nk + 48, cell(sk));
    Put32(hive, nk + 52, kNone);  // no class name
    Put16(hive, nk + 76, static_cast<std::uint16_t>(rootName.size()));
    std::memcpy(&hive[nk + 80], rootName.data(), rootName.size());

    Put32(hive, sk, static_cast<std::uint32_t>(-static_cast<std::int32_t>(skSize)));
    std::memcpy(&hive[sk + 4], "sk", 2);
    Put32(hive, sk + 8, cell(sk));  // the only sk: next and previous are itself
    Put32(hive, sk + 12, cell(sk));
    Put32(hive, sk + 16, 1);  // one key refers to it
    Put32(hive, sk + 20, static_cast<std::uint32_t>(descriptor.size()));
    std::memcpy(&hive[sk + 24], descriptor.data(), descriptor.size());

    Put32(hive, free, static_cast<std::uint32_t>(bin + kBinSize - free));

    // The base block.
    std::memcpy(&hive[0], "regf", 4);
    Put32(hive, 4, 1);
    Put32(hive, 8, 1);
    Put32(hive, 0x14, 1);
    Put32(hive, 0x18, minor);
    Put32(hive, 0x1C, 0);
    Put32(hive, 0x20, 1);
    Put32(hive, 0x24, cell(nk));
    Put32(hive, 0x28, kBinSize);
    Put32(hive, 0x2C, 1);
    for (std::size_t i = 0; i < rootName.size() && i < 31; ++i) hive[0x30 + 2 * i] = rootName[i];
    SetHeaderChecksum(reinterpret_cast<std::uint8_t*>(hive.data()));
    return hive;
}

}  // namespace platform::hive
