// The coefficient-set library: the block layout the driver reads, the hex texts the binary
// writer takes, and the two texts known byte for byte.
#include "equalizer/coef_sets.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

using equalizer::CoefBytes;
using equalizer::MusicSet;
using equalizer::SpeakerSet;

const char* const kFlatText =
    "00,00,00,00,60,7e,9e,c1,01,00,02,00,01,00,a0,7f,5f,c0,4f,00,00,00,b1,ff,3f,7f,bc,c0,c2,00,"
    "00,00,3e,ff,78,7e,77,c1,1f,01,00,00,e1,fe,d6,7c,e5,c2,5c,02,00,00,a4,fd,49,79,aa,c5,67,04,"
    "00,00,99,fb,20,71,df,ca,64,08,00,00,9c,f7,33,5d,30,d4,7e,0f,00,00,82,f0,eb,2b,ca,e3,d3,1b,"
    "00,00,2d,e4,40,d7,1d,f0,c5,2a,00,00,3b,d5,60,7e,9e,c1,01,00,02,00,01,00,a0,7f,5f,c0,4f,00,"
    "00,00,b1,ff,3f,7f,bc,c0,c2,00,00,00,3e,ff,78,7e,77,c1,1f,01,00,00,e1,fe,d6,7c,e5,c2,5c,02,"
    "00,00,a4,fd,49,79,aa,c5,67,04,00,00,99,fb,20,71,df,ca,64,08,00,00,9c,f7,33,5d,30,d4,7e,0f,"
    "00,00,82,f0,eb,2b,ca,e3,d3,1b,00,00,2d,e4,40,d7,1d,f0,c5,2a,00,00,3b,d5,14,00,00,00,96,3e,"
    "96,3e,96,3e,96,3e,96,3e,96,3e,96,3e,96,3e,96,3e,96,3e,96,3e,96,3e,96,3e,96,3e,96,3e,96,3e,"
    "96,3e,96,3e,96,3e,96,3e";

const MusicSet kMusic[] = {MusicSet::Rock, MusicSet::Classical, MusicSet::Pop,
                           MusicSet::Jazz, MusicSet::Dance,     MusicSet::Flat};
const SpeakerSet kSpeakers[] = {SpeakerSet::Philips, SpeakerSet::Sonigistix, SpeakerSet::Yamaha,
                                SpeakerSet::Altec};

std::int32_t At32(const CoefBytes& b, std::size_t at) {
    return static_cast<std::int32_t>(b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) |
                                     (static_cast<std::uint32_t>(b[at + 3]) << 24));
}
std::int16_t At16(const CoefBytes& b, std::size_t at) {
    return static_cast<std::int16_t>(b[at] | (b[at + 1] << 8));
}
std::vector<std::uint8_t> Slice(const CoefBytes& b, std::size_t at, std::size_t size) {
    return {b.begin() + at, b.begin() + at + size};
}

// Reads a hex list the way the binary writer does, strictly: two digits an item.
std::vector<std::uint8_t> ParseHex(const std::string& text) {
    std::vector<std::uint8_t> bytes;
    for (std::size_t at = 0; at < text.size(); at += 3) {
        EXPECT_TRUE(at + 2 == text.size() || text[at + 2] == ',') << "at " << at;
        bytes.push_back(static_cast<std::uint8_t>(std::stoi(text.substr(at, 2), nullptr, 16)));
    }
    return bytes;
}

void CheckLayout(const equalizer::CoefSet& set, std::int32_t header, const std::string& what) {
    const CoefBytes b = equalizer::Serialize(set);
    EXPECT_EQ(At32(b, 0), header) << what;
    EXPECT_EQ(Slice(b, 4, 100), Slice(b, 104, 100)) << what << ": halves differ";
    EXPECT_EQ(At32(b, 204), 20) << what;
    EXPECT_EQ(Slice(b, 208, 20), Slice(b, 228, 20)) << what << ": band copies differ";
    for (std::size_t s = 0; s < 10; ++s) {
        for (std::size_t v = 0; v < 5; ++v) {
            EXPECT_EQ(At16(b, 4 + s * 10 + v * 2), set.sections[s][v]) << what << " " << s << v;
        }
        EXPECT_EQ(At16(b, 208 + s * 2), set.bands[s]) << what << " band " << s;
    }
    const std::string text = equalizer::HexText(set);
    EXPECT_EQ(text.size(), 248u * 3 - 1) << what;
    EXPECT_EQ(ParseHex(text), std::vector<std::uint8_t>(b.begin(), b.end())) << what;
}

TEST(CoefSets, EveryBlockFollowsTheDriverLayout) {
    for (MusicSet set : kMusic) {
        CheckLayout(equalizer::Music(set), 0, "music " + std::to_string(static_cast<int>(set)));
    }
    for (SpeakerSet set : kSpeakers) {
        const auto& coef = equalizer::Speaker(set);
        const std::string what = "speaker " + std::to_string(static_cast<int>(set));
        CheckLayout(coef, -16, what);
        for (std::int16_t band : coef.bands) EXPECT_EQ(band, 32767) << what;
    }
}

TEST(CoefSets, FlatTextIsByteForByteTheKnownOne) {
    EXPECT_EQ(equalizer::HexText(equalizer::Music(MusicSet::Flat)), kFlatText);
}

TEST(CoefSets, MusicSetsShareTheFilterBankAndDifferInTheBands) {
    const CoefBytes flat = equalizer::Serialize(equalizer::Music(MusicSet::Flat));
    for (MusicSet set : kMusic) {
        const CoefBytes bytes = equalizer::Serialize(equalizer::Music(set));
        EXPECT_EQ(Slice(bytes, 0, 208), Slice(flat, 0, 208)) << static_cast<int>(set);
        if (set != MusicSet::Flat) {
            EXPECT_NE(Slice(bytes, 208, 40), Slice(flat, 208, 40)) << static_cast<int>(set);
        }
        // Music texts are lower case throughout.
        const std::string text = equalizer::HexText(equalizer::Music(set));
        EXPECT_EQ(text.find_first_of("ABCDEF"), std::string::npos) << static_cast<int>(set);
    }
}

TEST(CoefSets, SpeakerTextsOpenWithTheUpperCaseHeader) {
    const std::string philips = "F0,FF,FF,FF,09,76,e9,c8,87,fd,7d,02,00,00,67,7f,92,c0,57,00";
    EXPECT_EQ(equalizer::HexText(equalizer::Speaker(SpeakerSet::Philips)).substr(0, philips.size()),
              philips);
    for (SpeakerSet set : kSpeakers) {
        const std::string text = equalizer::HexText(equalizer::Speaker(set));
        EXPECT_EQ(text.substr(0, 12), "F0,FF,FF,FF,") << static_cast<int>(set);
        EXPECT_EQ(text.find_first_of("ABCDEF", 12), std::string::npos) << static_cast<int>(set);
    }
}

TEST(CoefSets, AllTenSetsAreDistinct) {
    std::vector<CoefBytes> all;
    for (MusicSet set : kMusic) all.push_back(equalizer::Serialize(equalizer::Music(set)));
    for (SpeakerSet set : kSpeakers) all.push_back(equalizer::Serialize(equalizer::Speaker(set)));
    for (std::size_t i = 0; i < all.size(); ++i) {
        for (std::size_t j = i + 1; j < all.size(); ++j) EXPECT_NE(all[i], all[j]) << i << " " << j;
    }
}

}  // namespace
