// The About A3D window: a short description of the A3D positional-audio technology. Fixed
// content; reads and writes no setting.
#pragma once

#include "ui/app.h"
#include "ui/dialog.h"

namespace dialogs {

using ui::Control;

class FrmAboutA3D : public ui::Dialog {
  public:
    // owner: the window that opened this one and gets it back when it closes.
    FrmAboutA3D(ui::App& app, ui::Form& owner);

    Control* Label1;
    Control* Label2;
    Control* Label3;
    Control* cmdOK;
    Control* Label4;
    Control* Label5;
    Control* Image1;

  private:
    void cmdOK_Click();
};

}  // namespace dialogs
