// A hive's base block and bins as Windows keeps them: the header's checksum by Windows' rule,
// and bins that follow one another.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "registry/hive/hive_format.h"
#include "support/hive_images_posix.h"
#include "support/xp_boot_posix.h"

namespace {

namespace hive = platform::hive;
using testing_support::HiveWithBins;

std::uint32_t U32(const std::string& s, std::size_t at) {
    return hive::Le32(reinterpret_cast<const std::uint8_t*>(s.data()) + at);
}

void Put32(std::string* s, std::size_t at, std::uint32_t v) {
    hive::PutLe32(reinterpret_cast<std::uint8_t*>(s->data()) + at, v);
}

const std::uint8_t* Bytes(const std::string& s) {
    return reinterpret_cast<const std::uint8_t*>(s.data());
}

TEST(HiveHeader, ChecksumFollowsWindowsRule) {
    std::string base(4096, '\0');
    EXPECT_EQ(hive::HeaderChecksum(Bytes(base)), 1u);  // a XOR of 0 is stored as 1
    Put32(&base, 4, 0xFFFFFFFF);
    EXPECT_EQ(hive::HeaderChecksum(Bytes(base)), 0xFFFFFFFEu);
    Put32(&base, 8, 0x12345678);
    EXPECT_EQ(hive::HeaderChecksum(Bytes(base)), 0xFFFFFFFFu ^ 0x12345678u);
    // Bytes from 508 on are not summed.
    Put32(&base, 508, 7);
    Put32(&base, 600, 7);
    EXPECT_EQ(hive::HeaderChecksum(Bytes(base)), 0xFFFFFFFFu ^ 0x12345678u);
    EXPECT_EQ(hive::HeaderChecksum(Bytes(base)), testing_support::XpChecksum(base));

    // A hive whose sum is 0 stores 1, and is read as sound.
    std::string image = HiveWithBins({});
    Put32(&image, 0x70, 0);
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < 508; i += 4) sum ^= U32(image, i);
    Put32(&image, 0x70, sum);  // now the first 508 bytes XOR to 0
    hive::SetHeaderChecksum(reinterpret_cast<std::uint8_t*>(image.data()));
    EXPECT_EQ(U32(image, 508), 1u);
    hive::Header header;
    EXPECT_EQ(hive::ReadHeader(image, image.size(), &header), "");
}

TEST(HiveHeader, BinsMustFollowOneAnother) {
    std::string image = HiveWithBins({4096, 8192});
    std::vector<std::uint32_t> starts;
    const auto check = [&](const std::string& bytes) {
        return hive::CheckBins(Bytes(bytes) + 4096, U32(bytes, 40), &starts);
    };
    EXPECT_EQ(check(image), "");
    EXPECT_EQ(starts, (std::vector<std::uint32_t>{0, 4096, 8192}));
    std::string broken = image;
    Put32(&broken, 4096 + 4096 + 4, 0);  // the second bin names the first's offset
    EXPECT_NE(check(broken).find("at 4096"), std::string::npos);
    broken = image;
    Put32(&broken, 4096 + 8192 + 8, 12288);  // the last runs past the end
    EXPECT_NE(check(broken).find("size"), std::string::npos);
    broken = image;
    broken[4096 + 4096] = 'x';
    EXPECT_NE(check(broken).find("hbin"), std::string::npos);
}

}  // namespace
