#include "pages/general_page.h"

#include "settings/schema.h"

namespace pages {

using settings::kHKLM;
using ui::Kind;

void GeneralPage::Build() {
    Image1 = &Add(Kind::Picture, "Image1", "", {240, 480, 960, 960});
    Image1->picture = "general";
    chkPlayA3D =
        &Add(Kind::CheckBox, "chkPlayA3D", "&Play A3D splash audio.", {1440, 570, 3615, 300});
    chkPlayA3D->tooltip =
        "Controls whether or not a sound will be played whenever A3D is initialised.";
    chkA3DSplash =
        &Add(Kind::CheckBox, "chkA3DSplash", "&Show A3D splash screen.", {1440, 990, 3615, 300});
    chkA3DSplash->tooltip =
        "Controls whether or not the A3D logo will be shown whenever A3D is initialised.";
    ListView1 = &Add(Kind::IconList, "ListView1", "", {240, 1620, 4815, 2040});
    // The entries belong to the window's design; the load adds nothing to them.
    ListView1->items = {"Volume Control", "Sound Recorder",   "Media Player",       "AC97 Mixer",
                        "Multimedia",     "Game Controllers", "DirectX Diagnostics"};
    ListView1->picture = "tool";
    cmdWPCRSET = &Add(Kind::Button, "cmdWPCRSET", "Configure WPCRSET", {240, 3840, 2055, 375});
    chkTray = &Add(Kind::CheckBox, "chkTray", "Show Tray Icon", {2760, 3880, 2295, 300});
    chkTray->tooltip = "Determines whether the system tray control will be loaded";

    chkPlayA3D->onChange = [this] { chkPlayA3D_Click(); };
    chkA3DSplash->onChange = [this] { chkA3DSplash_Click(); };
    ListView1->onDblClick = [this] { ListView1_DblClick(); };
    chkTray->onChange = [this] { chkTray_Click(); };
}

void GeneralPage::ReadSettings() {
    held.Prog = Read(schema::kDirectXMedia, schema::kProg);
    held.SplashAudio = Read(schema::kA3D, schema::kSplashAudio);
    held.SplashScreen = Read(schema::kA3D, schema::kSplashScreen);
}

// Any stored command counts; the box's handler rewrites it as the tray program's own.
void GeneralPage::LoadTray() {
    held.AU30TRAY = Read(schema::kRun, schema::kAU30TRAY);
    chkTray->SetValue(held.AU30TRAY.empty() ? 0 : 1);
}

// A fresh installation has no A3D key: the flags are created off, and read back.
void GeneralPage::CreateMissingSplashFlags() {
    for (auto [name, flag] : {std::pair{schema::kSplashAudio, &held.SplashAudio},
                              std::pair{schema::kSplashScreen, &held.SplashScreen}}) {
        if (!flag->empty()) continue;
        registry().EnsureKey(kHKLM, schema::kA3D);
        registry().StoreValue(kHKLM, schema::kA3D, name, 0, settings::REG_DWORD);
        *flag = Read(schema::kA3D, name);
    }
}

// The splash screen box shows its own stored flag, whatever the audio flag holds.
void GeneralPage::ShowSplashFlags() {
    if (held.SplashAudio == "1") SetFrom16(chkPlayA3D, held.SplashAudio);
    SetFrom16(chkA3DSplash, held.SplashScreen);
}

void GeneralPage::chkPlayA3D_Click() {
    StoreCheck(chkPlayA3D, schema::kA3D, schema::kSplashAudio, held.SplashAudio);
}

void GeneralPage::chkA3DSplash_Click() {
    StoreCheck(chkA3DSplash, schema::kA3D, schema::kSplashScreen, held.SplashScreen);
}

// The tray program starts with Windows through its Run value; the value takes effect at the
// next logon, nothing is started or stopped now.
void GeneralPage::chkTray_Click() {
    if (chkTray->value() == 1) {
        registry().StoreValue(kHKLM, schema::kRun, schema::kAU30TRAY, "au30tray.exe",
                              settings::REG_SZ);
    } else {
        registry().EraseValue(kHKLM, schema::kRun, schema::kAU30TRAY);
    }
}

void GeneralPage::ListView1_DblClick() {
    const int position = ListView1->value() + 1;
    if (position < 1 || position > static_cast<int>(ListView1->items.size())) return;
    const std::string& entry = ListView1->items[position - 1];
    switch (position) {
        case 1:
            StartTool(entry, "sndvol32.exe");
            break;
        case 2:
            StartTool(entry, "sndrec32.exe");
            break;
        case 3:
            StartTool(entry, held.Prog);
            break;
        case 4:
            held.AC97MixerLocation = Read(schema::kControlPanel, schema::kAC97MixerLocation);
            if (!held.AC97MixerLocation.empty()) {
                StartTool(entry, held.AC97MixerLocation);
            } else if (openMixerLocation) {
                openMixerLocation();
            }
            break;
        case 5:
            StartTool(entry, "rundll32.exe shell32.dll,Control_RunDLL mmsys.cpl");
            break;
        case 6:
            StartTool(entry, "rundll32.exe shell32.dll,Control_RunDLL joy.cpl");
            break;
        case 7:
            StartTool(entry, "dxdiag.exe");
            break;
        default:
            break;
    }
}

// A start that fails is reported; the tool's entry and every setting stay as they were.
void GeneralPage::StartTool(const std::string& entry, const std::string& command) {
    if (command.empty()) {
        app().Show({"", "Unable to start " + entry + ": no command is recorded for it.",
                    ui::Icon::Critical, ui::Buttons::Ok});
        return;
    }
    if (app().StartProcess(command)) return;
    // A location written by another program may end in a terminator, which a message box
    // would take for the end of the text.
    std::string shown = command;
    while (!shown.empty() && shown.back() == '\0') shown.pop_back();
    app().Show({"", "Unable to start \"" + shown + "\".", ui::Icon::Critical, ui::Buttons::Ok});
}

}  // namespace pages
