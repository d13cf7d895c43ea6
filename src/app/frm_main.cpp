#include "app/frm_main.h"

#include "detect/windows_version.h"

namespace app {

using ui::Kind;

namespace {
// Tab pages start below their headers; places on a page are relative to the tab control.
constexpr int kRowTop = 4680;
constexpr int kRowHeight = 375;
}  // namespace

FrmMain::FrmMain(ui::App& app) : Form(app, "frmMain", "Calvenor XP", 5520, 5160) {
    cmdAbout = &Add(Kind::Button, "cmdAbout", "About", {120, kRowTop, 735, kRowHeight});
    cmdOverride = &Add(Kind::Button, "cmdOverride", "Override", {1920, kRowTop, 1095, kRowHeight});
    cmdOverride->tooltip = "Override Detection of Windows XP";
    cmdOverride->SetEnabled(false);
    cmdOK = &Add(Kind::Button, "cmdOK", "&OK", {3120, kRowTop, 1095, kRowHeight});
    cmdOK->tooltip = "Exit program";
    cmdReset = &Add(Kind::Button, "cmdReset", "Reset", {4320, kRowTop, 1095, kRowHeight});
    cmdReset->tooltip = "Resets all settings to defaults";
    cmdReset->SetEnabled(false);
    // Hidden holders of texts that other code reads.
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
    BuildGeneralTab();
    BuildMidiTab();
    BuildA3DTab();
    BuildAC97Tab();
    BuildDigitalTab();
    Wire();
}

void FrmMain::BuildGeneralTab() {
    auto on = [](Control* c) {
        c->tab = 0;
        return c;
    };
    Image1 = on(&Add(Kind::Picture, "Image1", "", {240, 480, 960, 960}));
    Image1->picture = "general";
    chkPlayA3D =
        on(&Add(Kind::CheckBox, "chkPlayA3D", "&Play A3D splash audio.", {1440, 570, 3615, 300}));
    chkPlayA3D->tooltip =
        "Controls whether or not a sound will be played whenever A3D is initialised.";
    chkA3DSplash = on(
        &Add(Kind::CheckBox, "chkA3DSplash", "&Show A3D splash screen.", {1440, 990, 3615, 300}));
    chkA3DSplash->tooltip =
        "Controls whether or not the A3D logo will be shown whenever A3D is initialised.";
    ListView1 = on(&Add(Kind::IconList, "ListView1", "", {240, 1620, 4815, 2040}));
    // The entries belong to the window's design; the load adds nothing to them.
    ListView1->items = {"Volume Control", "Sound Recorder",   "Media Player",       "AC97 Mixer",
                        "Multimedia",     "Game Controllers", "DirectX Diagnostics"};
    ListView1->picture = "tool";
    cmdWPCRSET = on(&Add(Kind::Button, "cmdWPCRSET", "Configure WPCRSET", {240, 3840, 2055, 375}));
    chkTray = on(&Add(Kind::CheckBox, "chkTray", "Show Tray Icon", {2760, 3880, 2295, 300}));
    chkTray->tooltip = "Determines whether the system tray control will be loaded";
}

void FrmMain::BuildMidiTab() {
    auto on = [](Control* c) {
        c->tab = 1;
        return c;
    };
    auto effectFrame = [&](const char* frame, const char* caption, const char* slider,
                           const char* list, const char* label, const char* tip, int top,
                           Control*& f, Control*& s, Control*& l, Control*& n) {
        f = on(&Add(Kind::Frame, frame, caption, {240, top, 4815, 855}));
        s = on(&Add(Kind::Slider, slider, "", {2040, 270, 2175, 450}));
        s->container = f;
        s->min = 0;
        s->max = 127;
        s->smallChange = 1;
        s->largeChange = 5;
        s->tickEvery = 16;
        s->tooltip = tip;
        l = on(&Add(Kind::List, list, "", {120, 330, 1815, 315}));
        l->container = f;
        n = on(&Add(Kind::Label, label, "0", {4320, 360, 375, 255}));
        n->container = f;
    };
    Label4 = on(&Add(Kind::Label, "Label4", "&Wavetable Mode:", {240, 3390, 1455, 255}));
    Image3 = on(&Add(Kind::Picture, "Image3", "", {4080, 2460, 960, 960}));
    Image3->picture = "midi";
    effectFrame("Frame1", "Effect &1", "hsbEffect1", "cboEffect1", "lblEffect1",
                "MIDI Reverb Level", 480, Frame1, hsbEffect1, cboEffect1, lblEffect1);
    effectFrame("Frame2", "Effect &2", "hsbEffect2", "cboEffect2", "lblEffect2",
                "MIDI Chorus Level", 1440, Frame2, hsbEffect2, cboEffect2, lblEffect2);
    // The two units' lists differ at positions 5 and 6.
    cboEffect1->items = {"None",   "Delay",   "Room reverb", "Chamber reverb", "Hall reverb",
                         "Chorus", "Cabinet", "Flange",      "Distortion",     "Wah-Wah"};
    cboEffect2->items = {"None",    "Delay",  "Room reverb", "Chamber reverb", "Hall reverb",
                         "Cabinet", "Chorus", "Flange",      "Distortion",     "Wah-Wah"};
    chkMIDIfx = on(&Add(Kind::CheckBox, "chkMIDIfx", "&Turn Effects On", {240, 2520, 3015, 300}));
    chkMIDIfx->tooltip =
        "Enables the Wavetable Effects, which by default are set to Reverb and Chorus.";
    cboWavetableMode = on(&Add(Kind::List, "cboWavetableMode", "", {1800, 3330, 1815, 315}));
    cboWavetableMode->items = {"320 Voices", "128 Voices", "64 Voices"};
    cboWavetableMode->tooltip =
        "Controls the Polyphony for using MIDI.  In hardware, there are only 64 voices.";
    chkHighPerfMIDI = on(
        &Add(Kind::CheckBox, "chkHighPerfMIDI", "High Performance MIDI", {240, 2880, 3015, 300}));
}

void FrmMain::BuildA3DTab() {
    auto on = [](Control* c) {
        c->tab = 2;
        return c;
    };
    Image2 = on(&Add(Kind::Picture, "Image2", "", {240, 480, 960, 960}));
    Image2->picture = "a3d";
    Label5 = on(&Add(Kind::Label, "Label5", "A3D.DLL Version", {1440, 540, 1695, 255}));
    Label6 = on(&Add(Kind::Label, "Label6", "A3DAPI.DLL Version", {1440, 900, 1695, 255}));
    Label13 = on(&Add(Kind::Label, "Label13", "Driver Version", {1440, 1260, 1695, 255}));
    Frame7 = on(&Add(Kind::Frame, "Frame7", "A3D Type", {240, 1680, 4815, 1815}));
    cboA3DType = on(&Add(Kind::List, "cboA3DType", "", {1920, 780, 2655, 315}));
    cboA3DType->container = Frame7;
    cboA3DType->items = {"Headphones", "Satellite Speakers", "Monitor Speakers", "Quad Speakers"};
    cboA3DType->tooltip = "A3D Type";
    // Four pictures stacked at one place; the list's handler shows one at a time.
    auto speaker = [&](const char* name, const char* picture) {
        Control* img = on(&Add(Kind::Picture, name, "", {240, 300, 1440, 1380}));
        img->container = Frame7;
        img->picture = picture;
        return img;
    };
    imgQuad = speaker("imgQuad", "quad");
    imgSat = speaker("imgSat", "satellite");
    imgPhones = speaker("imgPhones", "headphones");
    imgMon = speaker("imgMon", "monitor");
    for (Control* img : {imgQuad, imgSat, imgMon}) img->SetVisible(false);
    cmdQuad = on(&Add(Kind::Button, "cmdQuad", "Quad Settings", {240, 3660, 1695, 375}));
    cmdAboutA3D = on(&Add(Kind::Button, "cmdAboutA3D", "About A3D", {2160, 3660, 1695, 375}));
    auto version = [&](const char* name, int top) {
        Control* box = on(&Add(Kind::TextBox, name, "", {3240, top, 1335, 315}));
        box->readOnly = true;
        box->SetText("NA");
        return box;
    };
    txtA3DVer = version("txtA3DVer", 480);
    txtA3DAPI = version("txtA3DAPI", 840);
    txtDrvVer = version("txtDrvVer", 1200);
    cmdDrvVerHlp = on(&Add(Kind::Button, "cmdDrvVerHlp", "?", {4680, 1200, 315, 315}));
}

void FrmMain::BuildAC97Tab() {
    auto on = [](Control* c) {
        c->tab = 3;
        return c;
    };
    // Bars run from +12 dB at the left (0) to -34.5 dB at the right (31).
    constexpr int kBarLeft = 1920;
    constexpr int kBarWidth = 2655;
    constexpr int kFirstRow = 2130;
    constexpr int kRowStep = 420;
    cmdAC97Help = on(&Add(Kind::Button, "cmdAC97Help", "?", {4680, 1740, 315, 315}));
    chkLA4Inv = on(&Add(Kind::CheckBox, "chkLA4Inv", "ST9708LA&4 Rear Phase Inversion",
                        {240, 1080, 4335, 285}));
    chkLA4Inv->tooltip = "Corrects for phase inversion with 4.1 speaker sets";
    chkLA2Inv = on(&Add(Kind::CheckBox, "chkLA2Inv", "ST&9708LA2 Rear Phase Inversion",
                        {240, 1380, 4335, 285}));
    chkLA2Inv->tooltip = "Corrects for phase inversion with 4.1 speaker sets";
    chkAttenuation = on(&Add(Kind::CheckBox, "chkAttenuation",
                             "&Enable SigmaTel ST9704 Attenuation", {240, 780, 4335, 285}));
    auto bar = [&](const char* name, int row) {
        Control* b = on(&Add(Kind::ScrollBar, name, "",
                             {kBarLeft, kFirstRow + row * kRowStep, kBarWidth, 255}));
        b->min = 0;
        b->max = 31;
        b->smallChange = 1;
        b->largeChange = 1;
        return b;
    };
    hsbRear = bar("hsbRear", 3);
    hsbFront = bar("hsbFront", 2);
    hsbPCM2 = bar("hsbPCM2", 1);
    hsbPCM1 = bar("hsbPCM1", 0);
    chkST3D = on(&Add(Kind::CheckBox, "chkST3D", "&Disable SigmaTel 3D Surround Enhancement",
                      {240, 480, 4335, 285}));
    chkST3D->tooltip = "Disables AC'97 codec built-in 3D effect";
    constexpr int kScaleTop = kFirstRow - 300;
    Label3 = on(
        &Add(Kind::Label, "Label3", "-34.5dB", {kBarLeft + kBarWidth - 735, kScaleTop, 735, 255}));
    Label2 = on(&Add(Kind::Label, "Label2", "+12db", {kBarLeft, kScaleTop, 615, 255}));
    // "0db" stands above the bar's value 8.
    Label1 = on(&Add(Kind::Label, "Label1", "0db",
                     {kBarLeft + kBarWidth * 8 / 31 + 60, kScaleTop, 495, 255}));
    auto number = [&](const char* name, int row) {
        return on(&Add(Kind::Label, name, "0",
                       {kBarLeft + kBarWidth + 105, kFirstRow + row * kRowStep, 375, 255}));
    };
    lblRear = number("lblRear", 3);
    lblFront = number("lblFront", 2);
    lblPCM2 = number("lblPCM2", 1);
    lblPCM1 = number("lblPCM1", 0);
    auto caption = [&](const char* name, const char* text, int row) {
        return on(&Add(Kind::Label, name, text, {240, kFirstRow + row * kRowStep, 1620, 255}));
    };
    Label10 = caption("Label10", "AC'97 Rear Output", 3);
    Label9 = caption("Label9", "AC'97 Front Output", 2);
    Label8 = caption("Label8", "PCM 2 Out Level", 1);
    Label7 = caption("Label7", "PCM 1 Out Level", 0);
}

void FrmMain::BuildDigitalTab() {
    auto on = [](Control* c) {
        c->tab = 4;
        return c;
    };
    constexpr const char* kRateTip = "Shows current sampling rate";
    lblDigOut = on(&Add(Kind::Label, "lblDigOut", "N/A", {2280, 1440, 855, 255}));
    lblDigOut->tooltip = kRateTip;
    Label11 = on(&Add(Kind::Label, "Label11", "Current Output Rate =", {240, 1440, 1995, 255}));
    Label11->tooltip = kRateTip;
    Label12 = on(&Add(Kind::Label, "Label12", "Hz", {3180, 1440, 375, 255}));
    Label12->tooltip = kRateTip;
    Frame3 = on(&Add(Kind::Frame, "Frame3", "Digital Output Rate", {240, 480, 4815, 735}));
    struct Rate {
        int index;
        const char* caption;
        const char* tip;
        int left;
    };
    const Rate rates[] = {
        {2, "4&8 kHz", "Set S/PDIF to DVD Quality (for DAT)", 3240},
        {1, "&44.1 kHz", "Set S/PDIF to CD Quality (for CD and Sony MiniDisc)", 1680},
        {0, "&32 kHz", "Set S/PDIF Sampling Rate to 32kHz (for older MiniDisc recorders)", 240},
    };
    for (const Rate& rate : rates) {
        Control* opt = on(
            &Add(Kind::Option, "optDigOut", rate.caption, {rate.left, 330, 1335, 285}, rate.index));
        opt->container = Frame3;
        opt->tooltip = rate.tip;
        optDigOut[rate.index] = opt;
    }
    auto check = [&](const char* name, const char* text, const char* tip, Control* frame, int top) {
        Control* box = on(&Add(Kind::CheckBox, name, text, {240, top, 1815, 285}));
        box->container = frame;
        box->tooltip = tip;
        return box;
    };
    Frame5 = on(&Add(Kind::Frame, "Frame5", "Digital Output", {240, 1920, 2295, 1095}));
    chkEnOut = check("chkEnOut", "Enable Output", "Enable S/PDIF Output", Frame5, 660);
    chkDetOut = check("chkDetOut", "Output Detected", "Force S/PDIF Output Detection", Frame5, 300);
    Frame6 = on(&Add(Kind::Frame, "Frame6", "Digital Input", {2760, 1920, 2295, 1095}));
    chkEnIn = check("chkEnIn", "Enable Input", "Enable S/PDIF Input", Frame6, 660);
    chkDetIn = check("chkDetIn", "Input Detected", "Force S/PDIF Input Detection", Frame6, 300);
    cmdEQSettings =
        on(&Add(Kind::Button, "cmdEQSettings", "Equalizer Settings", {240, 3300, 2295, 375}));
    cmdEQSettings->tooltip = "Equalizer and Speaker Compensation settings";
    cmdFixDetect =
        on(&Add(Kind::Button, "cmdFixDetect", "Enable S/PDIF Support", {2760, 3300, 2295, 375}));
    cmdFixDetect->tooltip = "Add extra cards to supported S/PDIF list";
}

void FrmMain::Wire() {
    auto on = [this](Control* c, void (FrmMain::*handler)()) {
        c->onChange = [this, handler] { (this->*handler)(); };
    };
    on(cmdAbout, &FrmMain::cmdAbout_Click);
    on(cmdOverride, &FrmMain::cmdOverride_Click);
    on(cmdOK, &FrmMain::cmdOK_Click);
    on(cmdReset, &FrmMain::cmdReset_Click);
    on(chkPlayA3D, &FrmMain::chkPlayA3D_Click);
    on(chkA3DSplash, &FrmMain::chkA3DSplash_Click);
    ListView1->onDblClick = [this] { ListView1_DblClick(); };
    on(cmdWPCRSET, &FrmMain::cmdWPCRSET_Click);
    on(chkTray, &FrmMain::chkTray_Click);
    on(hsbEffect1, &FrmMain::hsbEffect1_Change);
    on(cboEffect1, &FrmMain::cboEffect1_Click);
    on(hsbEffect2, &FrmMain::hsbEffect2_Change);
    on(cboEffect2, &FrmMain::cboEffect2_Click);
    on(chkMIDIfx, &FrmMain::chkMIDIfx_Click);
    on(cboWavetableMode, &FrmMain::cboWavetableMode_Click);
    on(chkHighPerfMIDI, &FrmMain::chkHighPerfMIDI_Click);
    on(cboA3DType, &FrmMain::cboA3DType_Click);
    on(cmdQuad, &FrmMain::cmdQuad_Click);
    on(cmdAboutA3D, &FrmMain::cmdAboutA3D_Click);
    on(cmdDrvVerHlp, &FrmMain::cmdDrvVerHlp_Click);
    on(cmdAC97Help, &FrmMain::cmdAC97Help_Click);
    on(chkLA4Inv, &FrmMain::chkLA4Inv_Click);
    on(chkLA2Inv, &FrmMain::chkLA2Inv_Click);
    on(chkAttenuation, &FrmMain::chkAttenuation_Click);
    on(hsbRear, &FrmMain::hsbRear_Change);
    on(hsbFront, &FrmMain::hsbFront_Change);
    on(hsbPCM2, &FrmMain::hsbPCM2_Change);
    on(hsbPCM1, &FrmMain::hsbPCM1_Change);
    on(chkST3D, &FrmMain::chkST3D_Click);
    for (int i = 0; i < 3; ++i) optDigOut[i]->onChange = [this, i] { optDigOut_Click(i); };
    on(chkEnOut, &FrmMain::chkEnOut_Click);
    on(chkDetOut, &FrmMain::chkDetOut_Click);
    on(chkEnIn, &FrmMain::chkEnIn_Click);
    on(chkDetIn, &FrmMain::chkDetIn_Click);
    on(cmdEQSettings, &FrmMain::cmdEQSettings_Click);
    on(cmdFixDetect, &FrmMain::cmdFixDetect_Click);
}

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
        for (Control* c : {SSTab1, cmdWPCRSET, chkA3DSplash, chkPlayA3D, chkTray}) {
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
    for (Control* c : {SSTab1, cmdWPCRSET, chkA3DSplash, chkPlayA3D, chkTray}) {
        c->SetEnabled(true);
    }
    LoadSettings(true);
}

void FrmMain::cmdOK_Click() {
    Unload();
}

// Closing the main window by its title bar ends the system, as its OK button does.
void FrmMain::RequestClose() {
    cmdOK_Click();
}

}  // namespace app
