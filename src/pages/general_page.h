// The "General" tab: the A3D splash flags, the tools list that starts the Windows sound tools
// and the outside AC'97 mixer program, and the tray program's start with Windows.
#pragma once

#include <functional>
#include <string>

#include "pages/page.h"

namespace pages {

class GeneralPage : public Page {
  public:
    static constexpr int kTab = 0;
    explicit GeneralPage(ui::Form& form) : Page(form, kTab) {}

    void Build();

    Control* Image1;
    Control* chkPlayA3D;
    Control* chkA3DSplash;
    Control* ListView1;
    Control* cmdWPCRSET;  // opens the WPCRSET window: the main window wires it
    Control* chkTray;

    // Opens the mixer location dialog when the mixer entry has no recorded location.
    std::function<void()> openMixerLocation;

    // The text of each setting as last read or written, named after its registry value.
    struct Held {
        std::string SplashAudio;
        std::string SplashScreen;
        std::string AU30TRAY;
        std::string Prog;               // the media player command
        std::string AC97MixerLocation;  // the last mixer location read
    } held;

    // The page's share of the settings load, run by the main window in its order.
    void ReadSettings();
    void LoadTray();
    void CreateMissingSplashFlags();
    void ShowSplashFlags();

  private:
    void chkPlayA3D_Click();
    void chkA3DSplash_Click();
    void chkTray_Click();
    void ListView1_DblClick();

    void StartTool(const std::string& entry, const std::string& command);
};

}  // namespace pages
