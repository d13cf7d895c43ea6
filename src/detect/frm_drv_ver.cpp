#include "detect/frm_drv_ver.h"

#include <string>

namespace detect {

using ui::Kind;

namespace {

// The advice texts, word for word (their double blanks included): users compare them with
// what they have read before.
constexpr const char* kNoDriver = "You don't appear to have any drivers installed correctly";
constexpr const char* kInBoxXp =
    "You appear to be running the original Microsoft provided Aureal drivers.  These are the "
    "recommended drivers for Windows XP.  This driver supports full hardware acceleration for "
    "DirectSound, DirectSound 3D, A3D and MIDI.  S/PDIF output is also supported.";
constexpr const char* kWindowsUpdate =
    "You appear to be running the Microsoft provided Aureal drivers from Windows Update.  These "
    "drivers should not be used since they remove all hardware acceleration for the sound card.  "
    "Try to roll back the driver, or get further instructions from Sondermere.";
constexpr const char* kAurealBeta =
    "You appear to be running the Aureal Beta drivers.  While these do work in Windows XP, they "
    "were designed for Windows 2000 and hence haven't been fully tested.  It is recommended that "
    "you use the in-box Windows XP driver.";
constexpr const char* kAurealPublicBeta =
    "You appear to be running the Aureal Public Beta drivers.  While these do work in Windows XP, "
    "they were designed for Windows 2000 and hence haven't been fully tested.  It is recommended "
    "that you use the in-box Windows XP driver.";
constexpr const char* kWindows2000 =
    "You appear to be running the Windows 2000 in-box drivers.  While these do work in Windows XP, "
    "they were designed for Windows 2000 and hence haven't been fully tested.  It is recommended "
    "that you use the in-box Windows XP driver.";
constexpr const char* kLiveA3D =
    "You seem to have the SoundBlaster Live! A3D drivers.  These work by converting A3D into "
    "DirectSound 3D.  It is recommended that you use the Aureal A3D driver included with Windows "
    "XP for the best compatibility";
constexpr const char* kA3DOk = "Your A3D driver seems OK.";

}  // namespace

FrmDrvVer::FrmDrvVer(ui::App& app, ui::Form& owner)
    : Dialog(app, owner, "frmDrvVer", "Driver Version Information", 4680, 3810) {
    cmdOK = &Add(Kind::Button, "cmdOK", "OK", {1680, 3240, 1335, 375});
    cmdOK->isDefault = true;
    Frame1 =
        &Add(Kind::Frame, "Frame1", "Aureal Vortex 2 Driver Information", {120, 120, 4455, 3015});
    lblDrvVer = &Add(Kind::Label, "lblDrvVer", "", {120, 360, 4215, 1215});
    lblDrvVer->container = Frame1;
    lblA3D = &Add(Kind::Label, "lblA3D", "", {120, 1680, 4215, 1095});
    lblA3D->container = Frame1;
    cmdOK->onChange = [this] { cmdOK_Click(); };
}

std::string FrmDrvVer::MainText(const char* box) const {
    const Control* control = owner().Find(box);
    return control != nullptr ? control->text() : std::string();
}

// Each test reads the box afresh. "NA" is the design text of a box no load has filled.
void FrmDrvVer::Load() {
    if (MainText("txtDrvVer") == "NA") lblDrvVer->SetCaption(kNoDriver);
    if (MainText("txtDrvVer") == "N/A") lblDrvVer->SetCaption(kNoDriver);
    // One version number, two packages: the Windows Update one is the smaller file.
    if (MainText("txtDrvVer") == "5.12.1.2560") {
        if (MainText("txtADMSize") == "747392") lblDrvVer->SetCaption(kInBoxXp);
        if (MainText("txtADMSize") == "702080") lblDrvVer->SetCaption(kWindowsUpdate);
    }
    if (MainText("txtDrvVer") == "5.12.1.2559") lblDrvVer->SetCaption(kAurealBeta);
    if (MainText("txtDrvVer") == "5.10.2500.49") lblDrvVer->SetCaption(kAurealPublicBeta);
    if (MainText("txtDrvVer") == "5.0.2169.1") lblDrvVer->SetCaption(kWindows2000);
    lblA3D->SetCaption(MainText("txtA3DVer") == "80.0.0.3" ? kLiveA3D : kA3DOk);
}

void FrmDrvVer::cmdOK_Click() {
    HandBack();
}

}  // namespace detect
