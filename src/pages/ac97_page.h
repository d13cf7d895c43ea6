// The "AC'97 Controls" tab: the codec's options and its four output levels. A level is the
// codec's volume register itself (0 = +12 dB, 1.5 dB a step), so bar, label and stored value
// are one number.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "pages/page.h"

namespace pages {

class AC97Page : public Page {
  public:
    static constexpr int kTab = 3;
    explicit AC97Page(ui::Form& form) : Page(form, kTab) {}

    void Build();

    Control* cmdAC97Help;
    Control* chkLA4Inv;
    Control* chkLA2Inv;
    Control* chkAttenuation;
    Control* hsbRear;
    Control* hsbFront;
    Control* hsbPCM2;
    Control* hsbPCM1;
    Control* chkST3D;
    Control* Label3;
    Control* Label2;
    Control* Label1;
    Control* lblRear;
    Control* lblFront;
    Control* lblPCM2;
    Control* lblPCM1;
    Control* Label10;
    Control* Label9;
    Control* Label8;
    Control* Label7;

    // The settings as last read or written, named after their registry values.
    struct Held {
        std::int16_t AC97PCMOutVol = 0;
        std::int16_t AC97PCM2OutVol = 0;
        std::int16_t AC97MixerFrontOutVol = 0;
        std::int16_t AC97MixerRearOutVol = 0;
        std::string DisableAC97Codec3DEffect;
        std::string ST9704ATTEN;
        std::string CorrectLA2;
        std::string ST9708LA4RearInversion;
    } held;

    // The page's share of the settings load, run by the main window in its order.
    void ReadSettings();
    void ShowLevels();
    void Show3DSwitch();
    void ShowOptions();

  private:
    // The four levels in one order: PCM 1, PCM 2, front, rear.
    struct Level {
        const char* name;    // its registry value
        std::int16_t* held;  // its held copy
        Control* bar;
        Control* label;
    };
    Level LevelAt(int index);

    void chkST3D_Click();
    void chkAttenuation_Click();
    void chkLA4Inv_Click();
    void chkLA2Inv_Click();
    void hsbLevel_Change(int index);
    void cmdAC97Help_Click();

    // A level that is no 16-bit number is kept apart, so that its bar stays where it is.
    std::optional<std::int16_t> loadedLevels_[4];
};

}  // namespace pages
