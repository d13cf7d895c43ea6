#include "support/write_rules.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "settings/schema.h"

namespace testing_support {
namespace {

using platform::REG_BINARY;
using platform::REG_DWORD;
using platform::REG_SZ;

std::string Fold(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

std::vector<std::int32_t> Range(std::int32_t low, std::int32_t high) {
    std::vector<std::int32_t> numbers = {};
    for (std::int32_t n = low; n <= high; ++n) numbers.push_back(n);
    return numbers;
}

}  // namespace

const std::vector<Rule>& Rules() {
    using namespace schema;
    static const std::vector<Rule> rules = [] {
        const auto flag = Range(0, 1);
        const auto level = Range(0, 31);
        std::vector<Rule> r = {
            {kControlPanel, kPrimaryXtalk, REG_DWORD, Range(1, 4)},
            {kControlPanel, kGamerMode, REG_DWORD, {0, 1}},
            {kControlPanel, kSoftSynthVoices, REG_DWORD, {0, 64, 256}},
            {kControlPanel, kSoftSynthMode, REG_DWORD, {0, 2, 3}},
            {kControlPanel, kSoftSynthModeIndex, REG_DWORD, Range(0, 2)},
            {kControlPanel, kSoftSynth, REG_DWORD, {0, 2}},
            {kControlPanel, kHighPerformanceMIDI, REG_DWORD, flag},
            {kControlPanel, kAspenWavetableEffect, REG_DWORD, flag},
            {kControlPanel, kReverbAmount, REG_DWORD, Range(0, 127)},
            {kControlPanel, kChorusAmount, REG_DWORD, Range(0, 127)},
            {kControlPanel, kFxSelectParams, REG_BINARY, {}, 2},
            {kControlPanel, kAC97MixerLocation, REG_SZ, {}, 0, true},
            {kControlPanel, kAnalogEQSrcLine, REG_DWORD, Range(0, 5)},
            {kControlPanel, kAnalogEQEnableState, REG_DWORD, flag},
            {kControlPanel, kQuadCodecOutputModeState, REG_DWORD, flag},
            {kControlPanel, kVIAFix, REG_DWORD, {}},
            {kControlPanel, kVIAAGP, REG_DWORD, {}},
            {kCustomization, kAC97PCMOutVol, REG_DWORD, level},
            {kCustomization, kAC97PCM2OutVol, REG_DWORD, level},
            {kCustomization, kAC97MixerFrontOutVol, REG_DWORD, level},
            {kCustomization, kAC97MixerRearOutVol, REG_DWORD, level},
            {kCustomization, kSpdifFrequency, REG_DWORD, {32000, 44100, 48000}},
            {kCustomization, kDisableAC97Codec3DEffect, REG_DWORD, flag},
            {kCustomization, kST9704ATTEN, REG_DWORD, flag},
            {kCustomization, kCorrectLA2, REG_DWORD, flag},
            {kCustomization, kST9708LA4RearInversion, REG_DWORD, flag},
            {kCustomization, kDetectSpdifOut, REG_DWORD, flag},
            {kCustomization, kEnableSpdifOut, REG_DWORD, flag},
            {kCustomization, kDetectSpdifIn, REG_DWORD, flag},
            {kCustomization, kEnableSpdifIn, REG_DWORD, flag},
            {kCustomization, kSupportAnalogEQ, REG_DWORD, flag},
            {kCustomization, kSetGPIO0InQuad, REG_DWORD, flag},
            {kCustomization, kControlPanelPageConfig, REG_SZ, {}, 0, false, "0123456A"},
            {kDriverEqualizer, kEqBypass, REG_DWORD, flag},
            {kDriverEqualizer, kActiveCoefSet, REG_DWORD, {0}},
            {kDriverEqualizer, kCoefSet0, REG_BINARY, {}, 248},
            {kAU8830Equalizer, kPresetNumber, REG_DWORD, Range(0, 6)},
            {kSpeakerCompensation, kCurrSpeakerComp, REG_SZ},
            {kA3D, kSplashScreen, REG_DWORD, flag},
            {kA3D, kSplashAudio, REG_DWORD, flag},
            {kRun, kAU30TRAY, REG_SZ, {}, 0, true, "au30tray.exe"},
            {kDirectXMedia, kProg, REG_SZ},  // read only: any write fails the test below
            {kWpcrsetParameters, kStart, REG_DWORD, {}},
            {kWpcrsetParameters, kRegCnt, REG_DWORD, {}},
            {kWpcrsetService, kStart, REG_DWORD, {}},
        };
        for (const char* id : {"1", "2", "3", "4"})
            r.push_back({kSpdifEnableList, id, REG_DWORD, {}});
        for (int slot = 0; slot < kRecordSlots; ++slot) {
            const std::string name =
                std::string("Reg") + (slot < 10 ? "0" : "") + std::to_string(slot);
            r.push_back({kWpcrsetParameters, name, REG_DWORD, {}, 0, true});
        }
        return r;
    }();
    return rules;
}

std::string Judge(const Write& write) {
    const Rule* rule = nullptr;
    for (const Rule& r : Rules()) {
        if (Fold(r.key) == Fold(write.key) && Fold(r.name) == Fold(write.name)) rule = &r;
    }
    if (rule == nullptr) return "a value the system does not define";
    if (rule->name == schema::kProg) return "a value the system only reads";
    if (write.type == 0) return rule->deletable ? "" : "a deletion of a value never deleted";
    if (write.type != rule->type) return "the wrong type";
    if (rule->type == REG_DWORD) {
        if (write.data.size() != 4) return "a number that is not four bytes";
        const auto number =
            static_cast<std::int32_t>(write.data[0] | (write.data[1] << 8) | (write.data[2] << 16) |
                                      (static_cast<std::uint32_t>(write.data[3]) << 24));
        const auto& allowed = rule->numbers;
        if (!allowed.empty() &&
            std::find(allowed.begin(), allowed.end(), number) == allowed.end()) {
            return "a number outside the setting's range";
        }
    }
    if (rule->type == REG_BINARY && write.data.size() != rule->size) return "the wrong length";
    if (rule->type == REG_SZ) {
        if (std::find(write.data.begin(), write.data.end(), 0) != write.data.end()) {
            return "a text with a NUL in it";
        }
        if (rule->text && std::string(write.data.begin(), write.data.end()) != rule->text) {
            return "a text other than the one defined";
        }
    }
    return "";
}

}  // namespace testing_support
