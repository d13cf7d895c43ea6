// The "MIDI" tab: the wavetable synthesizer's polyphony, high performance mode, its two
// effect units and their levels.
#pragma once

#include <string>

#include "pages/page.h"

namespace pages {

class MidiPage : public Page {
  public:
    static constexpr int kTab = 1;
    explicit MidiPage(ui::Form& form) : Page(form, kTab) {}

    void Build();

    Control* Label4;
    Control* Image3;
    Control* Frame1;
    Control* hsbEffect1;
    Control* cboEffect1;
    Control* lblEffect1;
    Control* Frame2;
    Control* hsbEffect2;
    Control* cboEffect2;
    Control* lblEffect2;
    Control* chkMIDIfx;
    Control* cboWavetableMode;
    Control* chkHighPerfMIDI;

    // The text of each setting as last read or written, named after its registry value.
    struct Held {
        std::string AspenWavetableEffect;
        std::string ReverbAmount;
        std::string ChorusAmount;
        std::string SoftSynthModeIndex;
        std::string HighPerformanceMIDI;
    } held;

    // The page's share of the settings load, run by the main window in its order.
    void ReadSettings();
    void CreateMissingHighPerformance();
    void ShowEffectLevels();
    void ShowEffectsSwitch();
    void ShowPolyphony();
    void ShowHighPerformance();

  private:
    struct EffectUnit {
        Control* frame;
        Control* level;
        Control* list;
        Control* label;
    };
    EffectUnit BuildEffectUnit(const char* index, const char* tip, int top);

    void cboWavetableMode_Click();
    void chkHighPerfMIDI_Click();
    void chkMIDIfx_Click();
    void cboEffect_Click();
    void hsbEffect1_Change();
    void hsbEffect2_Change();
};

}  // namespace pages
