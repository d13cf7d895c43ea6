#include "equalizer/coef_sets.h"

#include "settings/registry.h"

namespace equalizer {

namespace {

// The music sets share one filter bank and differ only in their band levels.
constexpr std::array<Section, 10> kMusicSections = {{
    {32352, -15970, 1, 2, 1},
    {32672, -16289, 79, 0, -79},
    {32575, -16196, 194, 0, -194},
    {32376, -16009, 287, 0, -287},
    {31958, -15643, 604, 0, -604},
    {31049, -14934, 1127, 0, -1127},
    {28960, -13601, 2148, 0, -2148},
    {23859, -11216, 3966, 0, -3966},
    {11243, -7222, 7123, 0, -7123},
    {-10432, -4067, 10949, 0, -10949},
}};

constexpr CoefSet MusicFrom(std::array<std::int16_t, 10> bands) {
    return CoefSet{0, kMusicSections, bands};
}

const CoefSet kRock =
    MusicFrom({31092, 26906, 23557, 19371, 15421, 12416, 14219, 16022, 21045, 16859});
const CoefSet kClassical =
    MusicFrom({21045, 20208, 19371, 18533, 21882, 13017, 15421, 19371, 17696, 14820});
const CoefSet kPop =
    MusicFrom({16022, 16022, 16022, 17696, 18533, 21045, 19371, 14820, 13618, 16022});
const CoefSet kJazz =
    MusicFrom({13017, 14820, 16859, 18533, 22720, 20208, 16022, 13017, 11816, 13618});
const CoefSet kDance =
    MusicFrom({32767, 27743, 25231, 20208, 16022, 13017, 14219, 16022, 22720, 16022});
const CoefSet kFlat =
    MusicFrom({16022, 16022, 16022, 16022, 16022, 16022, 16022, 16022, 16022, 16022});

// Speaker sets: header -16 and every band at the largest level.
constexpr std::int32_t kSpeakerHeader = -16;
constexpr std::array<std::int16_t, 10> kSpeakerBands = {32767, 32767, 32767, 32767, 32767,
                                                        32767, 32767, 32767, 32767, 32767};

const CoefSet kPhilips = {kSpeakerHeader,
                          {{
                              {30217, -14103, -633, 637, 0},
                              {32615, -16238, 87, -87, 0},
                              {21066, -6761, -3755, 2509, 0},
                              {0, 0, 16384, 0, 0},
                              {0, 0, 9380, 0, 0},
                              {0, 0, 0, 0, 0},
                              {0, 0, 0, 0, 0},
                              {0, 0, 0, 0, 0},
                              {0, 0, 0, 0, 0},
                              {0, 0, 0, 0, 0},
                          }},
                          kSpeakerBands};

const CoefSet kSonigistix = {kSpeakerHeader,
                             {{
                                 {32705, -16324, -30, 30, 0},
                                 {5139, -374, -29098, 5788, 0},
                                 {0, 0, 6158, 0, 0},
                                 {0, 0, 6158, 0, 0},
                                 {0, 0, 6158, 0, 0},
                                 {0, 0, 6158, 0, 0},
                                 {0, 0, 6158, 0, 0},
                                 {0, 0, 6158, 0, 0},
                                 {0, 0, 6158, 0, 0},
                                 {0, 0, 6158, 0, 0},
                             }},
                             kSpeakerBands};

const CoefSet kYamaha = {kSpeakerHeader,
                         {{
                             {27343, -11923, -969, 1101, 0},
                             {32552, -16176, 49, -50, 0},
                             {32616, -16233, -147, 146, 0},
                             {9837, -1451, -22626, 7681, 0},
                             {21066, -6761, -3246, 2169, 0},
                             {0, 0, 10660, 0, 0},
                             {0, 0, 10660, 0, 0},
                             {0, 0, 10660, 0, 0},
                             {0, 0, 10660, 0, 0},
                             {0, 0, 10660, 0, 0},
                         }},
                         kSpeakerBands};

const CoefSet kAltec = {kSpeakerHeader,
                        {{
                            {0, -9640, -4788, 244, 0},
                            {30743, -14624, -365, 367, 0},
                            {32677, -16294, -45, 45, 0},
                            {21282, -6905, -2597, 1735, 0},
                            {0, 0, 16384, 0, 0},
                            {0, 0, 9821, 0, 0},
                            {0, 0, 0, 0, 0},
                            {0, 0, 0, 0, 0},
                            {0, 0, 0, 0, 0},
                            {0, 0, 0, 0, 0},
                        }},
                        kSpeakerBands};

class Writer {
  public:
    explicit Writer(CoefBytes& bytes) : bytes_(bytes) {}
    void Put16(std::int16_t value) {
        const auto bits = static_cast<std::uint16_t>(value);
        bytes_[at_++] = static_cast<std::uint8_t>(bits);
        bytes_[at_++] = static_cast<std::uint8_t>(bits >> 8);
    }
    void Put32(std::int32_t value) {
        const auto bits = static_cast<std::uint32_t>(value);
        for (int shift = 0; shift < 32; shift += 8) {
            bytes_[at_++] = static_cast<std::uint8_t>(bits >> shift);
        }
    }

  private:
    CoefBytes& bytes_;
    std::size_t at_ = 0;
};

}  // namespace

CoefBytes Serialize(const CoefSet& set) {
    CoefBytes bytes{};
    Writer out(bytes);
    out.Put32(set.header);
    // The driver keeps one copy of the bank per half; both halves are the same.
    for (int half = 0; half < 2; ++half) {
        for (const Section& section : set.sections) {
            for (std::int16_t value : section) out.Put16(value);
        }
    }
    out.Put32(kBandCount);
    for (int half = 0; half < 2; ++half) {
        for (std::int16_t band : set.bands) out.Put16(band);
    }
    return bytes;
}

std::string HexText(const CoefSet& set) {
    const CoefBytes bytes = Serialize(set);
    std::string text = settings::HexList(bytes.data(), bytes.size());
    // The header bytes are the only ones written in upper case; the writer reads both.
    constexpr std::size_t kHeaderChars = 4 * 3 - 1;
    for (std::size_t i = 0; i < kHeaderChars; ++i) {
        if (text[i] >= 'a' && text[i] <= 'f') text[i] = static_cast<char>(text[i] - 'a' + 'A');
    }
    return text;
}

const CoefSet& Music(MusicSet which) {
    switch (which) {
        case MusicSet::Rock:
            return kRock;
        case MusicSet::Classical:
            return kClassical;
        case MusicSet::Pop:
            return kPop;
        case MusicSet::Jazz:
            return kJazz;
        case MusicSet::Dance:
            return kDance;
        case MusicSet::Flat:
            return kFlat;
    }
    return kFlat;
}

const CoefSet& Speaker(SpeakerSet which) {
    switch (which) {
        case SpeakerSet::Philips:
            return kPhilips;
        case SpeakerSet::Sonigistix:
            return kSonigistix;
        case SpeakerSet::Yamaha:
            return kYamaha;
        case SpeakerSet::Altec:
            return kAltec;
    }
    return kPhilips;
}

}  // namespace equalizer
