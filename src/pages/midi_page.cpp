#include "pages/midi_page.h"

#include "settings/schema.h"

namespace pages {

using settings::kHKLM;
using settings::REG_DWORD;
using ui::Kind;

namespace {

// The five values of each polyphony entry, in the order the driver expects them written.
struct Polyphony {
    int gamerMode;
    int softSynthVoices;
    int softSynthMode;
    int softSynthModeIndex;
    int softSynth;
};
constexpr Polyphony kPolyphony[3] = {
    {1, 256, 3, 0, 2},  // "320 Voices"
    {0, 64, 2, 1, 2},   // "128 Voices"
    {0, 0, 0, 2, 0},    // "64 Voices"
};

}  // namespace

// A frame holding a unit's level slider, its effect list and the level's number.
MidiPage::EffectUnit MidiPage::BuildEffectUnit(const char* index, const char* tip, int top) {
    const std::string n = index;
    EffectUnit unit;
    unit.frame = &Add(Kind::Frame, "Frame" + n, "Effect &" + n, {240, top, 4815, 855});
    unit.level = &Add(Kind::Slider, "hsbEffect" + n, "", {2040, 270, 2175, 450}, unit.frame);
    unit.level->min = 0;
    unit.level->max = 127;
    unit.level->smallChange = 1;
    unit.level->largeChange = 5;
    unit.level->tickEvery = 16;
    unit.level->tooltip = tip;
    unit.list = &Add(Kind::List, "cboEffect" + n, "", {120, 330, 1815, 315}, unit.frame);
    unit.label = &Add(Kind::Label, "lblEffect" + n, "0", {4320, 360, 375, 255}, unit.frame);
    unit.label->lineUpWith = unit.level;
    return unit;
}

void MidiPage::Build() {
    Label4 = &Add(Kind::Label, "Label4", "&Wavetable Mode:", {240, 3390, 1455, 255});
    Image3 = &Add(Kind::Picture, "Image3", "", {4080, 2460, 960, 960});
    Image3->picture = "midi";
    const EffectUnit unit1 = BuildEffectUnit("1", "MIDI Reverb Level", 480);
    const EffectUnit unit2 = BuildEffectUnit("2", "MIDI Chorus Level", 1440);
    Frame1 = unit1.frame, hsbEffect1 = unit1.level, cboEffect1 = unit1.list;
    lblEffect1 = unit1.label;
    Frame2 = unit2.frame, hsbEffect2 = unit2.level, cboEffect2 = unit2.list;
    lblEffect2 = unit2.label;
    // The two units' lists differ at positions 5 and 6.
    cboEffect1->items = {"None",   "Delay",   "Room reverb", "Chamber reverb", "Hall reverb",
                         "Chorus", "Cabinet", "Flange",      "Distortion",     "Wah-Wah"};
    cboEffect2->items = {"None",    "Delay",  "Room reverb", "Chamber reverb", "Hall reverb",
                         "Cabinet", "Chorus", "Flange",      "Distortion",     "Wah-Wah"};
    chkMIDIfx = &Add(Kind::CheckBox, "chkMIDIfx", "&Turn Effects On", {240, 2520, 3015, 300});
    chkMIDIfx->tooltip =
        "Enables the Wavetable Effects, which by default are set to Reverb and Chorus.";
    cboWavetableMode = &Add(Kind::List, "cboWavetableMode", "", {1800, 3330, 1815, 315});
    cboWavetableMode->items = {"320 Voices", "128 Voices", "64 Voices"};
    Label4->lineUpWith = cboWavetableMode;
    cboWavetableMode->tooltip =
        "Controls the Polyphony for using MIDI.  In hardware, there are only 64 voices.";
    chkHighPerfMIDI =
        &Add(Kind::CheckBox, "chkHighPerfMIDI", "High Performance MIDI", {240, 2880, 3015, 300});

    hsbEffect1->onChange = [this] { hsbEffect1_Change(); };
    cboEffect1->onChange = [this] { cboEffect_Click(); };
    hsbEffect2->onChange = [this] { hsbEffect2_Change(); };
    cboEffect2->onChange = [this] { cboEffect_Click(); };
    chkMIDIfx->onChange = [this] { chkMIDIfx_Click(); };
    cboWavetableMode->onChange = [this] { cboWavetableMode_Click(); };
    chkHighPerfMIDI->onChange = [this] { chkHighPerfMIDI_Click(); };
}

void MidiPage::ReadSettings() {
    held.AspenWavetableEffect = Read(schema::kControlPanel, schema::kAspenWavetableEffect);
    held.ReverbAmount = Read(schema::kControlPanel, schema::kReverbAmount);
    held.ChorusAmount = Read(schema::kControlPanel, schema::kChorusAmount);
    held.SoftSynthModeIndex = Read(schema::kControlPanel, schema::kSoftSynthModeIndex);
    held.HighPerformanceMIDI = Read(schema::kControlPanel, schema::kHighPerformanceMIDI);
}

// A fresh installation lacks the value: it is created off, and read back.
void MidiPage::CreateMissingHighPerformance() {
    if (!held.HighPerformanceMIDI.empty()) return;
    registry().StoreValue(kHKLM, schema::kControlPanel, schema::kHighPerformanceMIDI, 0, REG_DWORD);
    held.HighPerformanceMIDI = Read(schema::kControlPanel, schema::kHighPerformanceMIDI);
}

void MidiPage::ShowEffectLevels() {
    SetFrom(hsbEffect1, settings::ParseNumber(held.ReverbAmount));
    SetFrom(hsbEffect2, settings::ParseNumber(held.ChorusAmount));
}

void MidiPage::ShowEffectsSwitch() {
    SetFrom16(chkMIDIfx, held.AspenWavetableEffect);
}

void MidiPage::ShowPolyphony() {
    SetFrom16(cboWavetableMode, held.SoftSynthModeIndex);
}

void MidiPage::ShowHighPerformance() {
    SetFrom16(chkHighPerfMIDI, held.HighPerformanceMIDI);
}

void MidiPage::cboWavetableMode_Click() {
    const int position = cboWavetableMode->value();
    if (position < 0 || position > 2) return;
    const Polyphony& row = kPolyphony[position];
    auto put = [this](const char* name, int number) {
        registry().StoreValue(kHKLM, schema::kControlPanel, name, number, REG_DWORD);
    };
    put(schema::kGamerMode, row.gamerMode);
    put(schema::kSoftSynthVoices, row.softSynthVoices);
    put(schema::kSoftSynthMode, row.softSynthMode);
    put(schema::kSoftSynthModeIndex, row.softSynthModeIndex);
    put(schema::kSoftSynth, row.softSynth);
}

void MidiPage::chkHighPerfMIDI_Click() {
    StoreCheck(chkHighPerfMIDI, schema::kControlPanel, schema::kHighPerformanceMIDI,
               held.HighPerformanceMIDI);
}

void MidiPage::chkMIDIfx_Click() {
    StoreCheck(chkMIDIfx, schema::kControlPanel, schema::kAspenWavetableEffect,
               held.AspenWavetableEffect);
}

void MidiPage::hsbEffect1_Change() {
    held.ReverbAmount = std::to_string(hsbEffect1->value());
    lblEffect1->SetCaption(held.ReverbAmount);
    Store(schema::kControlPanel, schema::kReverbAmount, held.ReverbAmount);
}

void MidiPage::hsbEffect2_Change() {
    held.ChorusAmount = std::to_string(hsbEffect2->value());
    lblEffect2->SetCaption(held.ChorusAmount);
    Store(schema::kControlPanel, schema::kChorusAmount, held.ChorusAmount);
}

// Either list's choice stores both units' effects as the two-byte selection.
void MidiPage::cboEffect_Click() {
    settings::BinaryKey key(registry(), schema::kControlPanel);
    if (!key.is_open()) {
        app().Show({settings::kUnableToOpenKey.title, settings::kUnableToOpenKey.text});
        return;
    }
    const int e1 = cboEffect1->value();
    int e2 = cboEffect2->value();
    if (e1 < 0 || e2 < 0) return;
    // Both units cannot run the same effect: the second gives way. Positions are compared,
    // not names, as the driver numbers each unit's list on its own.
    if (e2 == e1) e2 = 0;
    // Positions are at most 9, so two decimal digits are also the byte in hexadecimal.
    auto twoDigits = [](int position) {
        return std::string{static_cast<char>('0' + position / 10),
                           static_cast<char>('0' + position % 10)};
    };
    key.Write(schema::kFxSelectParams, twoDigits(e1) + "," + twoDigits(e2));
}

}  // namespace pages
