// The reset window: puts groups of the driver's settings back to the reference defaults, one
// area at a time or all at once. It only writes; it reads nothing and asks nothing.
#pragma once

#include "app/frm_main.h"
#include "ui/form.h"

namespace reset {

using ui::Control;

class FrmReset : public ui::Form {
  public:
    FrmReset(ui::App& app, app::FrmMain& main);

    void RequestClose() override;

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

    // The speaker picture of the A3D type the reset writes.
    void ShowResetSpeakerPicture();

    app::FrmMain& main_;
};

}  // namespace reset
