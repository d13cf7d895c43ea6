#include "pages/digital_page.h"

#include <cstdint>

#include "settings/schema.h"

namespace pages {

using ui::Kind;

namespace {
// Card identifiers (PCI vendor in the high 16 bits) on which the driver is to offer S/PDIF.
constexpr std::uint32_t kSpdifCards[4] = {0x12EB0088, 0x12EB0002, 0x104D807B, 0x10923001};
constexpr const char* kRates[3] = {"32000", "44100", "48000"};
}  // namespace

void DigitalPage::Build() {
    constexpr const char* kRateTip = "Shows current sampling rate";
    lblDigOut = &Add(Kind::Label, "lblDigOut", "N/A", {2280, 1440, 855, 255});
    lblDigOut->tooltip = kRateTip;
    Label11 = &Add(Kind::Label, "Label11", "Current Output Rate =", {240, 1440, 1995, 255});
    Label11->tooltip = kRateTip;
    Label12 = &Add(Kind::Label, "Label12", "Hz", {3180, 1440, 375, 255});
    Label12->tooltip = kRateTip;
    Frame3 = &Add(Kind::Frame, "Frame3", "Digital Output Rate", {240, 480, 4815, 735});
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
        Control* opt = &Add(Kind::Option, "optDigOut", rate.caption, {rate.left, 330, 1335, 285},
                            Frame3, rate.index);
        opt->tooltip = rate.tip;
        optDigOut[rate.index] = opt;
    }
    auto check = [&](const char* name, const char* text, const char* tip, Control* frame, int top) {
        Control* box = &Add(Kind::CheckBox, name, text, {240, top, 1815, 285}, frame);
        box->tooltip = tip;
        return box;
    };
    Frame5 = &Add(Kind::Frame, "Frame5", "Digital Output", {240, 1920, 2295, 1095});
    chkEnOut = check("chkEnOut", "Enable Output", "Enable S/PDIF Output", Frame5, 660);
    chkDetOut = check("chkDetOut", "Output Detected", "Force S/PDIF Output Detection", Frame5, 300);
    Frame6 = &Add(Kind::Frame, "Frame6", "Digital Input", {2760, 1920, 2295, 1095});
    chkEnIn = check("chkEnIn", "Enable Input", "Enable S/PDIF Input", Frame6, 660);
    chkDetIn = check("chkDetIn", "Input Detected", "Force S/PDIF Input Detection", Frame6, 300);
    cmdEQSettings =
        &Add(Kind::Button, "cmdEQSettings", "Equalizer Settings", {240, 3300, 2295, 375});
    cmdEQSettings->tooltip = "Equalizer and Speaker Compensation settings";
    cmdFixDetect =
        &Add(Kind::Button, "cmdFixDetect", "Enable S/PDIF Support", {2760, 3300, 2295, 375});
    cmdFixDetect->tooltip = "Add extra cards to supported S/PDIF list";

    for (int i = 0; i < 3; ++i) optDigOut[i]->onChange = [this, i] { optDigOut_Click(i); };
    chkEnOut->onChange = [this] { chkEnOut_Click(); };
    chkDetOut->onChange = [this] { chkDetOut_Click(); };
    chkEnIn->onChange = [this] { chkEnIn_Click(); };
    chkDetIn->onChange = [this] { chkDetIn_Click(); };
    cmdFixDetect->onChange = [this] { cmdFixDetect_Click(); };
}

void DigitalPage::ReadSettings() {
    held.SpdifFrequency = Read(schema::kCustomization, schema::kSpdifFrequency);
    held.DetectSpdifOut = Read(schema::kCustomization, schema::kDetectSpdifOut);
    held.DetectSpdifIn = Read(schema::kCustomization, schema::kDetectSpdifIn);
    held.EnableSpdifOut = Read(schema::kCustomization, schema::kEnableSpdifOut);
    held.EnableSpdifIn = Read(schema::kCustomization, schema::kEnableSpdifIn);
}

void DigitalPage::ShowRate() {
    lblDigOut->SetCaption(held.SpdifFrequency);
}

void DigitalPage::ShowDetection() {
    SetFrom16(chkDetOut, held.DetectSpdifOut);
    SetFrom16(chkEnOut, held.EnableSpdifOut);
    SetFrom16(chkDetIn, held.DetectSpdifIn);
    SetFrom16(chkEnIn, held.EnableSpdifIn);
}

// The load locks an "Enable" box when the driver has its detection off: the stored "Detected"
// value is 0, or missing (which the driver reads as 0). Any other value, even one the box
// cannot show, leaves the box usable; nothing is unlocked here.
void DigitalPage::LockEnableBoxes() {
    auto off = [](const std::string& detected) {
        return detected.empty() || settings::ParseNumber(detected) == 0;
    };
    if (off(held.DetectSpdifOut)) chkEnOut->SetEnabled(false);
    if (off(held.DetectSpdifIn)) chkEnIn->SetEnabled(false);
}

// An "Enable" box can only be checked while its "Detected" box is: unchecking "Detected"
// clears "Enable" (its own handler stores that) before locking it.
void DigitalPage::chkDetOut_Click() {
    if (chkDetOut->value() == 0) chkEnOut->SetValue(0);
    chkEnOut->SetEnabled(chkDetOut->value() != 0);
    StoreCheck(chkDetOut, schema::kCustomization, schema::kDetectSpdifOut, held.DetectSpdifOut);
}

void DigitalPage::chkDetIn_Click() {
    if (chkDetIn->value() == 0) chkEnIn->SetValue(0);
    chkEnIn->SetEnabled(chkDetIn->value() != 0);
    StoreCheck(chkDetIn, schema::kCustomization, schema::kDetectSpdifIn, held.DetectSpdifIn);
}

void DigitalPage::chkEnOut_Click() {
    StoreCheck(chkEnOut, schema::kCustomization, schema::kEnableSpdifOut, held.EnableSpdifOut);
}

void DigitalPage::chkEnIn_Click() {
    StoreCheck(chkEnIn, schema::kCustomization, schema::kEnableSpdifIn, held.EnableSpdifIn);
}

void DigitalPage::optDigOut_Click(int index) {
    if (index < 0 || index > 2) return;
    held.SpdifFrequency = kRates[index];
    Store(schema::kCustomization, schema::kSpdifFrequency, held.SpdifFrequency);
    lblDigOut->SetCaption(held.SpdifFrequency);
}

// The list's key is the driver's to create; without it nothing is stored.
void DigitalPage::cmdFixDetect_Click() {
    for (int i = 0; i < 4; ++i) {
        registry().StoreValue(settings::kHKLM, schema::kSpdifEnableList, std::to_string(i + 1),
                              static_cast<std::int32_t>(kSpdifCards[i]), settings::REG_DWORD);
    }
}

}  // namespace pages
