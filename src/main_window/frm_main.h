// The main window: the tab control with its five pages, the bottom row of buttons, the Windows
// XP gate, the order of the settings load, and the openers of every other window. Showing it
// starts the system; unloading it ends the system.
#pragma once

#include "pages/a3d_page.h"
#include "pages/ac97_page.h"
#include "pages/digital_page.h"
#include "pages/general_page.h"
#include "pages/midi_page.h"
#include "ui/app.h"
#include "ui/form.h"

namespace main_window {

using ui::Control;

class FrmMain : public ui::Form {
  public:
    explicit FrmMain(ui::App& app);

    // Closing by the title bar ends the system, as the OK button does.
    void RequestClose() override { cmdOK_Click(); }

    // Controls outside the tabs.
    Control* cmdAbout;
    Control* cmdOverride;
    Control* cmdOK;
    Control* cmdReset;
    // Hidden holders of texts that other code reads: the start folder, the driver file's
    // size (read by the driver information window) and the classified Windows name.
    Control* txtAppPath;
    Control* txtADMSize;
    Control* txtOSName;
    Control* SSTab1;

    // The tabs, in their order.
    pages::GeneralPage general;
    pages::MidiPage midi;
    pages::A3DPage a3d;
    pages::AC97Page ac97;
    pages::DigitalPage digital;

  protected:
    void Load() override;  // Form_Load: the gate

  private:
    void BuildOuterControls();
    void WireOpeners();

    void cmdOverride_Click();
    void cmdOK_Click();
    // The settings load, in its start-up form or its override form.
    void LoadSettings(bool overrideForm);
    void ShowDriverSize(const std::string& driverFile);

    // Openers of the other windows.
    void cmdAbout_Click();
    void cmdAboutA3D_Click();
    void cmdEQSettings_Click();
    void cmdDrvVerHlp_Click();
    void cmdReset_Click();
    void cmdWPCRSET_Click();
    void cmdQuad_Click();
    void OpenMixerLocation();
};

}  // namespace main_window
