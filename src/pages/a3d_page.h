// The "A3D Settings" tab: the A3D speaker type with its picture, and the versions of the A3D
// runtime and of the driver, which the driver information window turns into advice.
#pragma once

#include <string>

#include "pages/page.h"

namespace pages {

class A3DPage : public Page {
  public:
    static constexpr int kTab = 2;
    explicit A3DPage(ui::Form& form) : Page(form, kTab) {}

    void Build();

    Control* Image2;
    Control* Label5;
    Control* Label6;
    Control* Label13;
    Control* Frame7;
    Control* cboA3DType;
    Control* imgQuad;
    Control* imgSat;
    Control* imgPhones;
    Control* imgMon;
    // The buttons open other windows: the main window wires them.
    Control* cmdQuad;
    Control* cmdAboutA3D;
    Control* txtA3DVer;
    Control* txtA3DAPI;
    Control* txtDrvVer;
    Control* cmdDrvVerHlp;

    // The positions of cboA3DType; the stored value is the position plus 1.
    enum Speakers { kHeadphones, kSatellite, kMonitor, kQuad };
    // Shows the picture of one speaker set-up and hides the others.
    void ShowSpeakerPicture(int speakers);

    // The page's share of the settings load, run by the main window in its order.
    void ReadSettings();
    void ShowSpeakerType();
    // Returns the driver file whose version is shown, the one whose size the advice needs.
    std::string ShowVersions();

    // The text of the setting as last read, named after its registry value.
    struct Held {
        std::string PrimaryXtalk;
    } held;

  private:
    void cboA3DType_Click();
};

}  // namespace pages
