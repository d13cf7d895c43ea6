// The quad output window: the codec's stereo or quad output mode and the shared output jacks.
// Kept off the main window's pages because these settings can silence the card.
#pragma once

#include <string>

#include "ui/app.h"
#include "ui/dialog.h"

namespace dialogs {

using ui::Control;

class FrmQuad : public ui::Dialog {
  public:
    // owner: the window that opened this one and gets it back when it closes.
    FrmQuad(ui::App& app, ui::Form& owner);

    Control* cmdOK;
    Control* Image1;
    Control* Frame1;
    Control* optQuad[2];
    Control* Label1;
    Control* lblQuad;
    Control* chkShare;

  protected:
    void Load() override;  // Form_Load

  private:
    void optQuad_Click(int index);
    void chkShare_Click();
    void cmdOK_Click();
    void ShowMode();

    std::string mode_;     // "QuadCodecOutputModeState" as last read or written
    std::string sharing_;  // "SetGPIO0InQuad" as last read or written
};

}  // namespace dialogs
