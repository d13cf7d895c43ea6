// The About window: the system's name, version and credits. Fixed content; reads and writes
// no setting.
#pragma once

#include "ui/app.h"
#include "ui/form.h"

namespace dialogs {

using ui::Control;

class FrmAbout : public ui::Form {
  public:
    // main: the window that opened this one and gets it back when it closes.
    FrmAbout(ui::App& app, ui::Form& main);

    void RequestClose() override;

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

    ui::Form& main_;
};

}  // namespace dialogs
