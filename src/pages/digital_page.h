// The "EQ/Digital I/O" tab: S/PDIF output and input (detection, enabling, the output rate),
// the driver's list of cards that offer S/PDIF, and the equalizer window's button.
#pragma once

#include <string>

#include "pages/page.h"

namespace pages {

class DigitalPage : public Page {
  public:
    static constexpr int kTab = 4;
    explicit DigitalPage(ui::Form& form) : Page(form, kTab) {}

    void Build();

    Control* lblDigOut;
    Control* Label11;
    Control* Label12;
    Control* Frame3;
    Control* optDigOut[3];
    Control* Frame5;
    Control* chkEnOut;
    Control* chkDetOut;
    Control* Frame6;
    Control* chkEnIn;
    Control* chkDetIn;
    Control* cmdEQSettings;  // opens the equalizer window: the main window wires it
    Control* cmdFixDetect;

    // The text of each setting as last read or written, named after its registry value.
    struct Held {
        std::string SpdifFrequency;
        std::string DetectSpdifOut;
        std::string DetectSpdifIn;
        std::string EnableSpdifOut;
        std::string EnableSpdifIn;
    } held;

    // The page's share of the settings load, run by the main window in its order.
    void ReadSettings();
    void ShowRate();
    void ShowDetection();
    void LockEnableBoxes();

  private:
    void chkDetOut_Click();
    void chkDetIn_Click();
    void chkEnOut_Click();
    void chkEnIn_Click();
    void optDigOut_Click(int index);
    void cmdFixDetect_Click();
};

}  // namespace pages
