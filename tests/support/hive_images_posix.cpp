#include "support/hive_images_posix.h"

#include "registry/hive/hive_format.h"

namespace testing_support {

namespace hive = platform::hive;

void AddBin(std::string* image, std::uint32_t size) {
    auto* base = reinterpret_cast<std::uint8_t*>(image->data());
    const std::uint32_t offset = hive::Le32(base + hive::field::kBinsSize);
    std::string bin(size, '\0');
    auto* b = reinterpret_cast<std::uint8_t*>(bin.data());
    bin.replace(0, 4, "hbin");
    hive::PutLe32(b + hive::field::kBinOffset, offset);
    hive::PutLe32(b + hive::field::kBinSize, size);
    hive::PutLe32(b + hive::field::kBinCells, size - hive::field::kBinCells);  // one free cell
    image->resize(hive::kBaseBlockSize + offset);
    *image += bin;
    base = reinterpret_cast<std::uint8_t*>(image->data());
    hive::PutLe32(base + hive::field::kBinsSize, offset + size);
    hive::SetHeaderChecksum(base);
}

std::string HiveWithBins(const std::vector<std::uint32_t>& sizes, std::uint32_t minor) {
    std::string image = hive::MakeEmptyHive("TEST", minor);
    for (const std::uint32_t size : sizes) AddBin(&image, size);
    return image;
}

void Scribble(std::string* image, std::uint32_t offset, std::uint32_t size, int seed) {
    for (std::uint32_t i = 0; i < size; ++i) {
        (*image)[hive::kBaseBlockSize + offset + i] =
            static_cast<char>((seed * 131 + i * 7 + (i >> 8)) & 0xFF);
    }
}

}  // namespace testing_support
