// The equalizer window: the equalizer switch, the preset lists, the speaker compensation list
// and the analog EQ channel. It owns nothing: every opening reads the registry afresh and every
// choice is written the moment it is made.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "equalizer/coef_sets.h"
#include "ui/app.h"
#include "ui/dialog.h"

namespace equalizer {

using ui::Control;

class FrmEQ : public ui::Dialog {
  public:
    // owner: the window that opened this one and gets it back when it closes.
    FrmEQ(ui::App& app, ui::Form& owner);

    // In tab order.
    Control* cboEQPreset;
    Control* Label14;
    Control* cboAnalogEQ;
    Control* Label5;
    Control* cmdOK;
    Control* Frame1;
    Control* optEQ[2];
    Control* cboVELTA;
    Control* cboSpComp;

    // What the load read, named after the registry values. A number that is no 16-bit whole
    // number is kept as nullopt; a missing one reads as 0.
    struct Loaded {
        std::optional<std::int16_t> PresetNumber;
        std::optional<std::int16_t> EqBypass;
        std::optional<std::int16_t> AnalogEQSrcLine;
        std::optional<std::int16_t> AnalogEQEnableState;
        std::optional<std::int16_t> SupportAnalogEQ;
        std::string CurrSpeakerComp;
    } loaded;

  protected:
    void Load() override;  // Form_Load

  private:
    void Wire();

    void optEQ_Click(int index);
    void cmdOK_Click();
    void cboEQPreset_Click();
    void cboVELTA_Click();
    void cboAnalogEQ_Click();
    void cboSpComp_Click();

    void WriteCoefficients(const std::string& hexList);
    void ApplyMusicSet(MusicSet set);
    void ApplySpeakerSet(SpeakerSet set);
    // Stores "EqBypass" 0 and shows "On", so the switch always shows what is stored.
    void StoreEqualizerOn();
    void ShowList(Control* list, bool shown);
};

}  // namespace equalizer
