#include "wpcrset/frm_wpcrset.h"

#include <cstdio>
#include <iterator>

#include "settings/registry.h"
#include "settings/schema.h"

namespace wpcrset {

using settings::kHKLM;
using settings::REG_DWORD;
using ui::Kind;

namespace {

constexpr const char* kChipsets[] = {"VIA", "AMD", "Intel i81x", "Intel BX", "Other"};
constexpr int kChipsetVia = 0;
constexpr int kChipsetI81x = 2;  // the one chipset whose slots sit on PCI bus 1
constexpr int kSlots = 6;

// "Reg00" for every slot: bus 0 for all chipsets but the i81x, which puts the slots on bus 1.
constexpr std::int32_t kSlotRecords[2][kSlots] = {
    {0x004040FF, 0x004840FF, 0x005040FF, 0x005840FF, 0x006040FF, 0x006840FF},
    {0x014040FF, 0x014840FF, 0x015040FF, 0x015840FF, 0x016040FF, 0x016840FF},
};

constexpr const char* kVIAHelp =
    "This allows you to enable the Vortex VIA compatability mode.  The <Fix VIA AGP Problem> "
    "option fixes a problem with VIA Tech North-Bridges whereby certain AGP cards can stop PCI "
    "sound cards from functioning correctly. VERY IMPORTANT: Please note that all previous "
    "WPCRSET options will be deleted.  It is recommended that you do not use both this and the "
    "WPCRSET configuration utility.  Use one or the other.  This integrated version is easier "
    "to use for beginners.";

constexpr const char* kWPCRHelp =
    "This allows you to configure the way that WPCRSET loadsd at Windows startup.  For it to "
    "work correctly, WPCRSET should be set to Start, and Device should be set to Enable.  You "
    "can use this to stop the program without having to actually un-install it.";

std::string RecordName(int slot) {
    char name[8];
    std::snprintf(name, sizeof name, "Reg%02d", slot);
    return name;
}

}  // namespace

std::int32_t SlotRecord(int chipset, int slot) {
    return kSlotRecords[chipset == kChipsetI81x ? 1 : 0][slot];
}

FrmWPCRSET::FrmWPCRSET(ui::App& app, ui::Form& owner)
    : Dialog(app, owner, "frmWPCRSET", "WPCRSET Configuration", 4785, 5040) {
    centerOnOwner = true;
    singleBorder = true;
    // Created in tab order.
    Frame1 = &Add(Kind::Frame, "Frame1", "WPCRSET", {120, 600, 2175, 855});
    optWPCRSET[0] = &Add(Kind::Option, "optWPCRSET", "Start", {240, 360, 735, 255}, 0);
    optWPCRSET[1] = &Add(Kind::Option, "optWPCRSET", "Stop", {1080, 360, 855, 255}, 1);
    Frame2 = &Add(Kind::Frame, "Frame2", "Device", {2520, 600, 2175, 855});
    optWDevice[0] = &Add(Kind::Option, "optWDevice", "Enable", {120, 360, 855, 255}, 0);
    optWDevice[1] = &Add(Kind::Option, "optWDevice", "Disable", {1080, 360, 975, 255}, 1);
    for (int i = 0; i < 2; ++i) {
        optWPCRSET[i]->container = Frame1;
        optWDevice[i]->container = Frame2;
    }
    Label1 = &Add(Kind::Label, "Label1", "Startup Options", {120, 120, 3015, 405});
    Label1->font = {"Tahoma", 15.75};
    cmdWPCRHelp = &Add(Kind::Button, "cmdWPCRHelp", "?", {4440, 240, 255, 255});
    Command1 = &Add(Kind::Button, "Command1", "OK", {3480, 4560, 1215, 375});
    Label2 = &Add(Kind::Label, "Label2",
                  "This executable doesn't contain any of WPCRSET, but acts as an interface to "
                  "it. You must install WPCRSET first.",
                  {120, 4080, 3135, 855});
    Frame3 = &Add(Kind::Frame, "Frame3", "Settings", {120, 2160, 4575, 1815});
    chkVIAFix = &Add(Kind::CheckBox, "chkVIAFix", "Fix VIA AGP Problem", {120, 1080, 1935, 255});
    cmdUpdate = &Add(Kind::Button, "cmdUpdate", "Update WPCRSET Settings", {2160, 1200, 2295, 375});
    // The lists are wide enough for their longest entries, the device list's label moved along.
    cboDevice = &Add(Kind::List, "cboDevice", "", {3240, 480, 1215, 315});
    cboDevice->items = {"8 (PCI 1)",  "9 (PCI 2)",  "10 (PCI 3)",
                        "11 (PCI 4)", "12 (PCI 5)", "13 (PCI 6)"};
    cboChipset = &Add(Kind::List, "cboChipset", "", {840, 480, 1095, 315});
    cboChipset->items.assign(std::begin(kChipsets), std::end(kChipsets));
    Label4 = &Add(Kind::Label, "Label4", "Device Number", {2040, 480, 1155, 255});
    Label3 = &Add(Kind::Label, "Label3", "Chipset", {120, 480, 675, 255});
    Label4->lineUpWith = cboDevice;
    Label3->lineUpWith = cboChipset;
    Label5 = &Add(Kind::Label, "Label5", "Compatibility Tweaks", {120, 1680, 3015, 375});
    Label5->font = {"Tahoma", 14.25};
    chkVIAAGP = &Add(Kind::CheckBox, "chkVIAAGP", "Fast AGP Mode", {120, 1440, 1935, 255});
    cmdVIAHelp = &Add(Kind::Button, "cmdVIAHelp", "?", {4440, 1800, 255, 255});
    cmdRemove = &Add(Kind::Button, "cmdRemove", "Remove All", {3480, 4080, 1215, 375});
    for (Control* c : {chkVIAFix, cmdUpdate, cboDevice, cboChipset, Label4, Label3, chkVIAAGP}) {
        c->container = Frame3;
    }
    // A slot, the update and the VIA options wait for a chipset to be chosen.
    for (Control* c : {cboDevice, chkVIAFix, cmdUpdate, chkVIAAGP}) c->SetEnabled(false);
    Wire();
}

void FrmWPCRSET::Wire() {
    for (int i = 0; i < 2; ++i) {
        optWPCRSET[i]->onChange = [this, i] { optWPCRSET_Click(i); };
        optWDevice[i]->onChange = [this, i] { optWDevice_Click(i); };
    }
    cmdWPCRHelp->onChange = [this] { cmdWPCRHelp_Click(); };
    Command1->onChange = [this] { Command1_Click(); };
    chkVIAFix->onChange = [this] { chkVIAFix_Click(); };
    cmdUpdate->onChange = [this] { cmdUpdate_Click(); };
    cboDevice->onChange = [this] { cboDevice_Click(); };
    cboChipset->onChange = [this] { cboChipset_Click(); };
    chkVIAAGP->onChange = [this] { chkVIAAGP_Click(); };
    cmdVIAHelp->onChange = [this] { cmdVIAHelp_Click(); };
    cmdRemove->onChange = [this] { cmdRemove_Click(); };
}

void FrmWPCRSET::Load() {
    settings::Registry& reg = app().registry();
    WpcrsetStart = reg.FetchValue(kHKLM, schema::kWpcrsetParameters, schema::kStart).str();
    DeviceStart = reg.FetchValue(kHKLM, schema::kWpcrsetService, schema::kStart).str();
    ViaFixState = reg.FetchValue(kHKLM, schema::kControlPanel, schema::kVIAFix).str();
    ViaAgpState = reg.FetchValue(kHKLM, schema::kControlPanel, schema::kVIAAGP).str();
    if (ViaFixState.empty()) {
        ViaFixState = "0";
        reg.StoreValue(kHKLM, schema::kControlPanel, schema::kVIAFix, ViaFixState, REG_DWORD);
    }
    if (ViaAgpState.empty()) {
        ViaAgpState = "0";
        reg.StoreValue(kHKLM, schema::kControlPanel, schema::kVIAAGP, ViaAgpState, REG_DWORD);
    }

    if (WpcrsetStart.empty() || DeviceStart.empty()) {
        app().Show({"Information",
                    std::string("WPCRSET doesn't appear to be installed on your system.  Please "
                                "download it from ") +
                        kDownloadSite +
                        " and put it into a folder of your choice.  Then run INSTDD.EXE.  After "
                        "that, then you will be able to configure these options.",
                    ui::Icon::Information, ui::Buttons::Ok});
        Unload();
        owner().SetEnabled(true);
        owner().Show();
        return;
    }

    // Selecting and checking run the click handlers, which write back what was read.
    if (WpcrsetStart == "1") {
        optWPCRSET[0]->SetValue(1);
    } else if (WpcrsetStart == "0") {
        optWPCRSET[1]->SetValue(1);
    }
    if (DeviceStart == "0") {
        optWDevice[0]->SetValue(1);
    } else if (DeviceStart == "4") {
        optWDevice[1]->SetValue(1);
    }
    if (ViaFixState == "1") chkVIAFix->SetValue(1);
    // The VIA options stay locked until "VIA" is chosen, whatever the fix's click enabled.
    chkVIAAGP->SetEnabled(false);
    if (ViaAgpState == "1") chkVIAAGP->SetValue(1);
}

void FrmWPCRSET::optWPCRSET_Click(int index) {
    WpcrsetStart = index == 0 ? "1" : "0";
    app().registry().StoreValue(kHKLM, schema::kWpcrsetParameters, schema::kStart, WpcrsetStart,
                                REG_DWORD);
}

void FrmWPCRSET::optWDevice_Click(int index) {
    DeviceStart = index == 0 ? "0" : "4";
    app().registry().StoreValue(kHKLM, schema::kWpcrsetService, schema::kStart, DeviceStart,
                                REG_DWORD);
}

void FrmWPCRSET::cboChipset_Click() {
    const bool via = cboChipset->value() == kChipsetVia;
    chkVIAFix->SetEnabled(via);
    chkVIAAGP->SetEnabled(via);
    cboDevice->SetEnabled(true);
}

void FrmWPCRSET::cboDevice_Click() {
    cmdUpdate->SetEnabled(true);
}

void FrmWPCRSET::cmdUpdate_Click() {
    const int chipset = cboChipset->value();
    const int slot = cboDevice->value();
    // Both lists have a choice once the button is enabled; a cleared list writes nothing.
    if (chipset < 0 || chipset >= static_cast<int>(std::size(kChipsets)) || slot < 0 ||
        slot >= kSlots) {
        return;
    }
    settings::Registry& reg = app().registry();
    const char* params = schema::kWpcrsetParameters;
    reg.StoreValue(kHKLM, params, RecordName(0), SlotRecord(chipset, slot), REG_DWORD);
    if (chipset == kChipsetVia) {
        // An update for another chipset clears only the held text and leaves the box checked;
        // the update follows what the box shows.
        ViaFixState = std::to_string(chkVIAFix->value());
        if (ViaFixState == "1") {
            // A "VIAAGP" that is neither 0 nor 1 (or no number at all) adds no fix record.
            const auto agp = settings::ParseNumber(ViaAgpState);
            if (agp == 0 || agp == 1) {
                reg.StoreValue(kHKLM, params, RecordName(1),
                               agp == 1 ? kViaFixFastAgpRecord : kViaFixRecord, REG_DWORD);
                reg.StoreValue(kHKLM, params, schema::kRegCnt, 2, REG_DWORD);
            }
        } else {
            reg.StoreValue(kHKLM, params, schema::kRegCnt, 1, REG_DWORD);
        }
    } else {
        chkVIAFix->SetEnabled(false);
        chkVIAAGP->SetEnabled(false);
        ViaFixState = "0";
        reg.StoreValue(kHKLM, params, schema::kRegCnt, 1, REG_DWORD);
    }
}

void FrmWPCRSET::cmdRemove_Click() {
    settings::Registry& reg = app().registry();
    reg.StoreValue(kHKLM, schema::kWpcrsetParameters, schema::kRegCnt, 0, REG_DWORD);
    for (int slot = 0; slot < schema::kRecordSlots; ++slot) {
        reg.EraseValue(kHKLM, schema::kWpcrsetParameters, RecordName(slot));
    }
}

void FrmWPCRSET::chkVIAFix_Click() {
    const int state = chkVIAFix->value();
    ViaFixState = std::to_string(state);
    chkVIAAGP->SetEnabled(state == 1);
    app().registry().StoreValue(kHKLM, schema::kControlPanel, schema::kVIAFix, ViaFixState,
                                REG_DWORD);
}

void FrmWPCRSET::chkVIAAGP_Click() {
    ViaAgpState = std::to_string(chkVIAAGP->value());
    app().registry().StoreValue(kHKLM, schema::kControlPanel, schema::kVIAAGP, ViaAgpState,
                                REG_DWORD);
}

void FrmWPCRSET::cmdVIAHelp_Click() {
    app().Show({"Information", kVIAHelp, ui::Icon::Information, ui::Buttons::Ok});
}

void FrmWPCRSET::cmdWPCRHelp_Click() {
    app().Show({"Information", kWPCRHelp, ui::Icon::Information, ui::Buttons::Ok});
}

void FrmWPCRSET::Command1_Click() {
    HandBack();
}

}  // namespace wpcrset
