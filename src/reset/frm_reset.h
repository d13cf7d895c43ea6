// The reset window: puts groups of the driver's settings back to the reference defaults, one
// area at a time or all at once. It only writes; it reads nothing and asks nothing.
#pragma once

#include <functional>

#include "ui/app.h"
#include "ui/dialog.h"

namespace reset {

using ui::Control;

class FrmReset : public ui::Dialog {
  public:
    // owner: the window that opened this one and gets it back when it closes.
    // showResetSpeaker: shows, in the owner, the speaker picture of the A3D type the reset
    // writes.
    FrmReset(ui::App& app, ui::Form& owner, std::function<void()> showResetSpeaker);

    Control* cmdResetAll;
    Control* Frame1;
    Control* cmdAC97Mix;
    Control* cmdA3DType;
    Control* cmdMIDIVoices;
    Control* cmdMIDIFX;
    Control* cmdDigOut;
    Control* cmdDigIn;
    Control* cmdAnalogEQ;
    Control* Command1;  // "AC97 Codec"
    Control* cmdOK;
    Control* Image1;

  private:
    void Wire();

    void cmdA3DType_Click();
    void cmdMIDIVoices_Click();
    void cmdMIDIFX_Click();
    void cmdDigOut_Click();
    void cmdDigIn_Click();
    void cmdAnalogEQ_Click();
    void Command1_Click();
    void cmdAC97Mix_Click();
    void cmdResetAll_Click();
    void cmdOK_Click();

    std::function<void()> showResetSpeaker_;
};

}  // namespace reset
