// The About window: the system's name, version and credits. Fixed content; reads and writes
// no setting.
#pragma once

#include "ui/app.h"
#include "ui/dialog.h"

namespace dialogs {

using ui::Control;

class FrmAbout : public ui::Dialog {
  public:
    // owner: the window that opened this one and gets it back when it closes.
    FrmAbout(ui::App& app, ui::Form& owner);

    // Closing by the title bar gives the main window back as OK does.
    void RequestClose() override { cmdOK_Click(); }

    Control* cmdOK;
    Control* Label1;
    Control* Label2;
    Control* Label3;
    Control* Label4;
    Control* Label5;
    Control* Label6;
    Control* Label7;
    Control* Image1;

  private:
    void cmdOK_Click();
};

}  // namespace dialogs
