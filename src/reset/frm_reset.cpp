#include "reset/frm_reset.h"

#include <cstdint>

#include "settings/registry.h"
#include "settings/schema.h"

namespace reset {

using settings::kHKLM;
using settings::REG_DWORD;
using ui::Kind;

namespace {

struct Default {
    const char* key;
    const char* name;
    std::int32_t value;
};

// The reference defaults, each group in the order its button writes it.
constexpr Default kA3DType[] = {
    {schema::kControlPanel, schema::kPrimaryXtalk, 2},  // "Satellite Speakers"
};
// The values the polyphony list writes for "320 Voices".
constexpr Default kMIDIVoices[] = {
    {schema::kControlPanel, schema::kGamerMode, 1},
    {schema::kControlPanel, schema::kSoftSynthVoices, 256},
    {schema::kControlPanel, schema::kSoftSynthMode, 3},
    {schema::kControlPanel, schema::kSoftSynthModeIndex, 0},
    {schema::kControlPanel, schema::kSoftSynth, 2},
};
constexpr Default kMIDIFX[] = {
    {schema::kControlPanel, schema::kReverbAmount, 64},
    {schema::kControlPanel, schema::kChorusAmount, 64},
    {schema::kControlPanel, schema::kAspenWavetableEffect, 1},
};
constexpr Default kDigOut[] = {
    {schema::kCustomization, schema::kSpdifFrequency, 48000},
    {schema::kCustomization, schema::kDetectSpdifOut, 1},
    {schema::kCustomization, schema::kEnableSpdifOut, 1},
};
constexpr Default kDigIn[] = {
    {schema::kCustomization, schema::kDetectSpdifIn, 0},
    {schema::kCustomization, schema::kEnableSpdifIn, 0},
};
// The keys differ within this group and the next: each value goes to its own key.
constexpr Default kAnalogEQ[] = {
    {schema::kCustomization, schema::kSupportAnalogEQ, 0},
    {schema::kControlPanel, schema::kAnalogEQSrcLine, 3},
    {schema::kControlPanel, schema::kAnalogEQEnableState, 0},
};
constexpr Default kAC97Codec[] = {
    {schema::kCustomization, schema::kDisableAC97Codec3DEffect, 1},
    {schema::kCustomization, schema::kST9708LA4RearInversion, 1},
    {schema::kCustomization, schema::kCorrectLA2, 1},
    {schema::kCustomization, schema::kST9704ATTEN, 0},
    {schema::kCustomization, schema::kAC97PCMOutVol, 8},
    {schema::kCustomization, schema::kAC97PCM2OutVol, 8},
    {schema::kCustomization, schema::kAC97MixerFrontOutVol, 8},
    {schema::kCustomization, schema::kAC97MixerRearOutVol, 8},
    {schema::kControlPanel, schema::kQuadCodecOutputModeState, 0},
    {schema::kCustomization, schema::kSetGPIO0InQuad, 0},
};

template <std::size_t N>
void Write(settings::Registry& reg, const Default (&group)[N]) {
    for (const Default& row : group) reg.StoreValue(kHKLM, row.key, row.name, row.value, REG_DWORD);
}

// Frame grid: three columns and three rows of 1455 by 375 buttons.
constexpr int kColumn[] = {120, 1680, 3240};
constexpr int kRow[] = {240, 720, 1200};
constexpr int kButtonWidth = 1455;
constexpr int kButtonHeight = 375;

}  // namespace

FrmReset::FrmReset(ui::App& app, ui::Form& owner, std::function<void()> showResetSpeaker)
    : Dialog(app, owner, "frmReset", "Reset Settings", 5040, 3000),
      showResetSpeaker_(std::move(showResetSpeaker)) {
    // Created in tab order.
    cmdResetAll = &Add(Kind::Button, "cmdResetAll", "Reset All Settings",
                       {720, 120, kButtonWidth, kButtonHeight});
    Frame1 = &Add(Kind::Frame, "Frame1", "", {120, 720, 4815, 1695});
    auto area = [&](const char* name, const char* caption, int column, int row) {
        Control* c = &Add(Kind::Button, name, caption,
                          {kColumn[column], kRow[row], kButtonWidth, kButtonHeight});
        c->container = Frame1;
        return c;
    };
    cmdAC97Mix = area("cmdAC97Mix", "AC97 Mixer Path", 0, 0);
    cmdA3DType = area("cmdA3DType", "A3D Type", 0, 1);
    cmdMIDIVoices = area("cmdMIDIVoices", "MIDI Voices", 1, 0);
    cmdMIDIFX = area("cmdMIDIFX", "MIDI Effects", 1, 1);
    cmdDigOut = area("cmdDigOut", "Digital Output", 2, 0);
    cmdDigIn = area("cmdDigIn", "Digital Input", 2, 1);
    cmdAnalogEQ = area("cmdAnalogEQ", "Analog EQ", 1, 2);
    Command1 = area("Command1", "AC97 Codec", 0, 2);
    cmdOK = &Add(Kind::Button, "cmdOK", "OK", {3360, 2520, 1575, 375});
    Image1 = &Add(Kind::Picture, "Image1", "", {120, 120, 480, 480});
    Image1->picture = "reset";
    Wire();
}

void FrmReset::Wire() {
    cmdResetAll->onChange = [this] { cmdResetAll_Click(); };
    cmdAC97Mix->onChange = [this] { cmdAC97Mix_Click(); };
    cmdA3DType->onChange = [this] { cmdA3DType_Click(); };
    cmdMIDIVoices->onChange = [this] { cmdMIDIVoices_Click(); };
    cmdMIDIFX->onChange = [this] { cmdMIDIFX_Click(); };
    cmdDigOut->onChange = [this] { cmdDigOut_Click(); };
    cmdDigIn->onChange = [this] { cmdDigIn_Click(); };
    cmdAnalogEQ->onChange = [this] { cmdAnalogEQ_Click(); };
    Command1->onChange = [this] { Command1_Click(); };
    cmdOK->onChange = [this] { cmdOK_Click(); };
}

// The main window shows the new speaker type's picture at once; nothing else it shows changes
// before the next start.
void FrmReset::cmdA3DType_Click() {
    if (showResetSpeaker_) showResetSpeaker_();
    Write(app().registry(), kA3DType);
}

void FrmReset::cmdMIDIVoices_Click() {
    Write(app().registry(), kMIDIVoices);
}

void FrmReset::cmdMIDIFX_Click() {
    Write(app().registry(), kMIDIFX);
}

void FrmReset::cmdDigOut_Click() {
    Write(app().registry(), kDigOut);
}

void FrmReset::cmdDigIn_Click() {
    Write(app().registry(), kDigIn);
}

void FrmReset::cmdAnalogEQ_Click() {
    Write(app().registry(), kAnalogEQ);
}

void FrmReset::Command1_Click() {
    Write(app().registry(), kAC97Codec);
}

void FrmReset::cmdAC97Mix_Click() {
    app().registry().EraseValue(kHKLM, schema::kControlPanel, schema::kAC97MixerLocation);
}

// Exactly the eight area resets, in the order of their groups, written together: one commit
// instead of 28, and a reset cut short by a crash leaves none of it half done.
void FrmReset::cmdResetAll_Click() {
    app().registry().Together([this] {
        cmdA3DType_Click();
        cmdMIDIVoices_Click();
        cmdMIDIFX_Click();
        cmdDigOut_Click();
        cmdDigIn_Click();
        cmdAnalogEQ_Click();
        Command1_Click();
        cmdAC97Mix_Click();
    });
}

void FrmReset::cmdOK_Click() {
    HandBack();
}

}  // namespace reset
