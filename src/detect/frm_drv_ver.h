// "Driver Version Information": identifies the installed driver package and the A3D runtime
// from the texts the main window's load put in its version and size boxes, and advises.
#pragma once

#include <string>

#include "ui/app.h"
#include "ui/dialog.h"

namespace detect {

using ui::Control;

class FrmDrvVer : public ui::Dialog {
  public:
    // The main window owns the boxes read here, and is handed back on closing.
    FrmDrvVer(ui::App& app, ui::Form& owner);

    Control* cmdOK;
    Control* Frame1;
    Control* lblDrvVer;
    Control* lblA3D;

  protected:
    void Load() override;  // Form_Load

  private:
    void cmdOK_Click();
    std::string MainText(const char* box) const;
};

}  // namespace detect
