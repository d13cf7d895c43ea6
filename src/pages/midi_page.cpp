// The wavetable synthesizer: polyphony, high performance mode, effects and their levels.
#include <string>

#include "app/frm_main.h"
#include "store/registry.h"
#include "store/schema.h"

namespace app {

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

void FrmMain::cboWavetableMode_Click() {
    for (int position = 0; position < 3; ++position) {
        if (cboWavetableMode->value() != position) continue;
        const Polyphony& row = kPolyphony[position];
        auto put = [this](const char* name, int number) {
            app().registry().StoreValue(store::kHKLM, schema::kControlPanel, name, number,
                                        store::REG_DWORD);
        };
        put(schema::kGamerMode, row.gamerMode);
        put(schema::kSoftSynthVoices, row.softSynthVoices);
        put(schema::kSoftSynthMode, row.softSynthMode);
        put(schema::kSoftSynthModeIndex, row.softSynthModeIndex);
        put(schema::kSoftSynth, row.softSynth);
    }
}

void FrmMain::chkHighPerfMIDI_Click() {
    copies.HighPerformanceMIDI = std::to_string(chkHighPerfMIDI->value());
    app().registry().StoreValue(store::kHKLM, schema::kControlPanel, schema::kHighPerformanceMIDI,
                                copies.HighPerformanceMIDI, store::REG_DWORD);
}

void FrmMain::chkMIDIfx_Click() {
    copies.AspenWavetableEffect = std::to_string(chkMIDIfx->value());
    app().registry().StoreValue(store::kHKLM, schema::kControlPanel, schema::kAspenWavetableEffect,
                                copies.AspenWavetableEffect, store::REG_DWORD);
}

void FrmMain::cboEffect1_Click() {
    StoreEffectSelection();
}

void FrmMain::cboEffect2_Click() {
    StoreEffectSelection();
}

void FrmMain::hsbEffect1_Change() {
    copies.ReverbAmount = std::to_string(hsbEffect1->value());
    lblEffect1->SetCaption(copies.ReverbAmount);
    app().registry().StoreValue(store::kHKLM, schema::kControlPanel, schema::kReverbAmount,
                                copies.ReverbAmount, store::REG_DWORD);
}

void FrmMain::hsbEffect2_Change() {
    copies.ChorusAmount = std::to_string(hsbEffect2->value());
    lblEffect2->SetCaption(copies.ChorusAmount);
    app().registry().StoreValue(store::kHKLM, schema::kControlPanel, schema::kChorusAmount,
                                copies.ChorusAmount, store::REG_DWORD);
}

void FrmMain::StoreEffectSelection() {
    store::BinaryKey key(app().registry(), app(), schema::kControlPanel);
    if (!key.is_open()) return;
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

}  // namespace app
