#include "main_window/frm_main.h"

#include "detect/windows_version.h"

namespace main_window {

using ui::Kind;

namespace {
// The bottom row, below the tab control.
constexpr int kRowTop = 4680;
constexpr int kRowHeight = 375;
}  // namespace

FrmMain::FrmMain(ui::App& app)
    : Form(app, "frmMain", "Calvenor XP", 5520, 5160),
      general(*this),
      midi(*this),
      a3d(*this),
      ac97(*this),
      digital(*this) {
    singleBorder = true;
    // Created in tab order: the row of buttons first, then each page's controls.
    BuildOuterControls();
    general.Build();
    midi.Build();
    a3d.Build();
    ac97.Build();
    digital.Build();
    WireOpeners();
}

void FrmMain::BuildOuterControls() {
    cmdAbout = &Add(Kind::Button, "cmdAbout", "About", {120, kRowTop, 735, kRowHeight});
    cmdOverride = &Add(Kind::Button, "cmdOverride", "Override", {1920, kRowTop, 1095, kRowHeight});
    cmdOverride->tooltip = "Override Detection of Windows XP";
    cmdOverride->SetEnabled(false);
    cmdOK = &Add(Kind::Button, "cmdOK", "&OK", {3120, kRowTop, 1095, kRowHeight});
    cmdOK->tooltip = "Exit program";
    cmdReset = &Add(Kind::Button, "cmdReset", "Reset", {4320, kRowTop, 1095, kRowHeight});
    cmdReset->tooltip = "Resets all settings to defaults";
    cmdReset->SetEnabled(false);
    txtAppPath = &Add(Kind::TextBox, "txtAppPath", "", {960, kRowTop, 300, 315});
    txtADMSize = &Add(Kind::TextBox, "txtADMSize", "", {1260, kRowTop, 300, 315});
    txtOSName = &Add(Kind::TextBox, "txtOSName", "", {1560, kRowTop, 300, 315});
    for (Control* box : {txtAppPath, txtADMSize, txtOSName}) {
        box->SetText("Text1");
        box->SetVisible(false);
    }
    SSTab1 = &Add(Kind::Tabs, "SSTab1", "", {120, 120, 5295, 4455});
    SSTab1->items = {"General", "MIDI", "A3D Settings", "AC'97 Controls", "EQ/Digital I/O"};
    SSTab1->SetValue(0);

    cmdOverride->onChange = [this] { cmdOverride_Click(); };
    cmdOK->onChange = [this] { cmdOK_Click(); };
}

// The gate: the settings are read only on Windows XP, unless the user overrides it.
void FrmMain::Load() {
    detect::WindowsVersionInfo info;
    detect::ClassifyWindows(app().platform(), info);
    txtOSName->SetText(info.name);
    if (txtOSName->text() != "Windows XP") {
        app().Show({"Incorrect Operating System",
                    "You don't appear to be running Windows XP.  This control panel will only "
                    "work with Windows XP.  Please use the Control Panel application included "
                    "with the drivers for your operating system.  You may use the Override "
                    "button if you're sure that you're running XP.",
                    ui::Icon::Critical, ui::Buttons::Ok});
        for (Control* c : {SSTab1, general.cmdWPCRSET, general.chkA3DSplash, general.chkPlayA3D,
                           general.chkTray}) {
            c->SetEnabled(false);
        }
        cmdOverride->SetEnabled(true);
        cmdOverride->SetVisible(true);
        cmdReset->SetEnabled(true);
        return;
    }
    LoadSettings(false);
}

void FrmMain::cmdOverride_Click() {
    app().Show({"Information",
                "Forcing Windows XP detection is risky and can damage your Windows installation "
                "if it isn't Windows XP.",
                ui::Icon::Information, ui::Buttons::Ok});
    cmdOverride->SetVisible(false);
    for (Control* c :
         {SSTab1, general.cmdWPCRSET, general.chkA3DSplash, general.chkPlayA3D, general.chkTray}) {
        c->SetEnabled(true);
    }
    LoadSettings(true);
}

void FrmMain::cmdOK_Click() {
    Unload();
}

// Every stored setting into the pages. Controls are set through their state, so their own
// handlers write back what was read and bring labels, pictures and enabled states into line;
// the steps keep the order in which those writes reach the registry.
void FrmMain::LoadSettings(bool overrideForm) {
    // The load reads and writes some forty values in a few keys: each key is opened once.
    app().registry().KeepKeysOpen([this, overrideForm] {
        txtAppPath->SetText(app().platform().StartFolder());
        general.ReadSettings();
        ac97.ReadSettings();
        digital.ReadSettings();
        midi.ReadSettings();
        a3d.ReadSettings();
        // The override leaves the tray box as the user sees it.
        if (!overrideForm) general.LoadTray();
        cmdOverride->SetVisible(false);
        // The three values a fresh installation lacks.
        midi.CreateMissingHighPerformance();
        general.CreateMissingSplashFlags();

        ac97.ShowLevels();
        midi.ShowEffectLevels();
        digital.ShowRate();
        midi.ShowEffectsSwitch();
        ac97.Show3DSwitch();
        general.ShowSplashFlags();
        ac97.ShowOptions();
        digital.ShowDetection();
        midi.ShowPolyphony();
        a3d.ShowSpeakerType();
        midi.ShowHighPerformance();
        const std::string driverFile = a3d.ShowVersions();

        // The override measures the driver before it unlocks Reset and locks the "Enable" boxes;
        // both forms lock them whether or not the driver could be measured.
        if (overrideForm) ShowDriverSize(driverFile);
        cmdReset->SetEnabled(true);
        digital.LockEnableBoxes();
        if (!overrideForm) ShowDriverSize(driverFile);
    });
}

// The size of the very file whose version is shown, found by the same search; the advice
// tells driver packages apart by it.
void FrmMain::ShowDriverSize(const std::string& driverFile) {
    platform::Platform& platform = app().platform();
    const std::string path = platform.LocateFile(driverFile);
    if (path.empty()) return;
    const platform::FileSize size = platform.SizeOfFile(path);
    if (size.bytes) txtADMSize->SetText(std::to_string(*size.bytes));
}

}  // namespace main_window
