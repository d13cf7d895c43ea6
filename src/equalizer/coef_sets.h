// The fixed library of equalizer coefficient sets the driver reads from "CoefSet0". Each set
// is kept as the numbers it is made of (ten filter sections and ten band levels) and turned
// into the driver's 248-byte block only when written, so the data can be read against its
// source tables.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace equalizer {

// One filter section: five 16-bit coefficients in stored order.
using Section = std::array<std::int16_t, 5>;

struct CoefSet {
    std::int32_t header = 0;  // 0 for music sets, -16 for speaker sets
    std::array<Section, 10> sections{};
    std::array<std::int16_t, 10> bands{};  // band 1 to band 10
};

// Block layout: header, the sections twice, the band count, the bands twice.
inline constexpr std::size_t kCoefSetSize = 248;
inline constexpr std::int32_t kBandCount = 20;

using CoefBytes = std::array<std::uint8_t, kCoefSetSize>;

// The 248 bytes of a set, little-endian.
CoefBytes Serialize(const CoefSet& set);
// The hex list text the binary writer takes: header bytes in upper case ("F0,FF,FF,FF" for
// the speaker sets), the rest in lower case.
std::string HexText(const CoefSet& set);

enum class MusicSet { Rock, Classical, Pop, Jazz, Dance, Flat };
enum class SpeakerSet { Philips, Sonigistix, Yamaha, Altec };

const CoefSet& Music(MusicSet which);
const CoefSet& Speaker(SpeakerSet which);

}  // namespace equalizer
