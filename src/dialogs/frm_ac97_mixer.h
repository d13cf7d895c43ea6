// Asks where the outside AC'97 mixer program lives. A path is accepted only when the program
// starts from it; only then is it remembered.
#pragma once

#include "ui/app.h"
#include "ui/dialog.h"

namespace dialogs {

using ui::Control;

class FrmAC97Mixer : public ui::Dialog {
  public:
    // owner: the window that opened this one and gets it back when it closes.
    FrmAC97Mixer(ui::App& app, ui::Form& owner);

    Control* txtAC97Location;
    Control* cmdHelp;
    Control* cmdOK;
    Control* cmdExit;
    Control* Image1;

  private:
    void cmdOK_Click();
    void cmdHelp_Click();
    void cmdExit_Click();
};

}  // namespace dialogs
