// Where the fields of the hive's records are, from the published descriptions of the format
// (offsets in a cell's data, after its size field). For the engine's own files only.
#pragma once

#include <cstdint>

namespace platform::hive::layout {

constexpr std::uint16_t Signature(char a, char b) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(a) |
                                      (static_cast<unsigned char>(b) << 8));
}
constexpr std::uint16_t kKeySignature = Signature('n', 'k');
constexpr std::uint16_t kValueSignature = Signature('v', 'k');
constexpr std::uint16_t kSecuritySignature = Signature('s', 'k');
constexpr std::uint16_t kIndexLeaf = Signature('l', 'i');
constexpr std::uint16_t kFastLeaf = Signature('l', 'f');
constexpr std::uint16_t kHashLeaf = Signature('l', 'h');
constexpr std::uint16_t kIndexRoot = Signature('r', 'i');
constexpr std::uint16_t kBigData = Signature('d', 'b');

// Key node ("nk").
namespace key {
constexpr std::uint32_t kFlags = 2;
constexpr std::uint32_t kTime = 4;
constexpr std::uint32_t kParent = 16;
constexpr std::uint32_t kSubkeyCount = 20;
constexpr std::uint32_t kVolatileSubkeyCount = 24;
constexpr std::uint32_t kSubkeyList = 28;
constexpr std::uint32_t kVolatileSubkeyList = 32;
constexpr std::uint32_t kValueCount = 36;
constexpr std::uint32_t kValueList = 40;
constexpr std::uint32_t kSecurity = 44;
constexpr std::uint32_t kClass = 48;
// Its low 16 bits; Windows XP SP3 and later keep flags in the high ones.
constexpr std::uint32_t kMaxNameLength = 52;
constexpr std::uint32_t kMaxClassLength = 56;
constexpr std::uint32_t kMaxValueNameLength = 60;
constexpr std::uint32_t kMaxValueDataLength = 64;
constexpr std::uint32_t kNameLength = 72;
constexpr std::uint32_t kClassLength = 74;
constexpr std::uint32_t kName = 76;
constexpr std::uint16_t kHiveEntry = 0x0004;
constexpr std::uint16_t kCompressedName = 0x0020;
}  // namespace key

// Key value ("vk").
namespace value {
constexpr std::uint32_t kNameLength = 2;
constexpr std::uint32_t kDataSize = 4;
constexpr std::uint32_t kData = 8;
constexpr std::uint32_t kType = 12;
constexpr std::uint32_t kFlags = 16;
constexpr std::uint32_t kName = 20;
// In the data size: the data (4 bytes at most) is held in the data field itself.
constexpr std::uint32_t kInline = 0x80000000;
constexpr std::uint16_t kCompressedName = 0x0001;
}  // namespace value

// Key security ("sk").
namespace security {
constexpr std::uint32_t kNext = 4;
constexpr std::uint32_t kPrevious = 8;
constexpr std::uint32_t kUsers = 12;
constexpr std::uint32_t kDescriptorSize = 16;
constexpr std::uint32_t kDescriptor = 20;
}  // namespace security

// Subkey lists ("li", "lf", "lh", "ri") and big data ("db").
namespace list {
constexpr std::uint32_t kCount = 2;
constexpr std::uint32_t kEntries = 4;
}  // namespace list
namespace big {
constexpr std::uint32_t kCount = 2;
constexpr std::uint32_t kList = 4;
constexpr std::uint32_t kSize = 8;
}  // namespace big

}  // namespace platform::hive::layout
