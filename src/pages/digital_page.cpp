// S/PDIF output and input: detection, enabling, the output rate and the supported-card list.
#include <cstdint>
#include <string>

#include "app/frm_main.h"
#include "store/registry.h"
#include "store/schema.h"

namespace app {

namespace {

void StoreCustomization(ui::App& app, const char* name, const std::string& text) {
    app.registry().StoreValue(store::kHKLM, schema::kCustomization, name, text, store::REG_DWORD);
}

// Card identifiers (PCI vendor in the high 16 bits) on which the driver is to offer S/PDIF.
constexpr std::uint32_t kSpdifCards[4] = {0x12EB0088, 0x12EB0002, 0x104D807B, 0x10923001};

}  // namespace

// An "Enable" box can only be checked while its "Detected" box is: unchecking "Detected"
// clears "Enable" (its own handler stores that) before locking it.
void FrmMain::chkDetOut_Click() {
    copies.DetectSpdifOut = std::to_string(chkDetOut->value());
    if (chkDetOut->value() == 0) {
        chkEnOut->SetValue(0);
        chkEnOut->SetEnabled(false);
    } else {
        chkEnOut->SetEnabled(true);
    }
    StoreCustomization(app(), schema::kDetectSpdifOut, copies.DetectSpdifOut);
}

void FrmMain::chkDetIn_Click() {
    copies.DetectSpdifIn = std::to_string(chkDetIn->value());
    if (chkDetIn->value() == 0) {
        chkEnIn->SetValue(0);
        chkEnIn->SetEnabled(false);
    } else {
        chkEnIn->SetEnabled(true);
    }
    StoreCustomization(app(), schema::kDetectSpdifIn, copies.DetectSpdifIn);
}

void FrmMain::chkEnOut_Click() {
    copies.EnableSpdifOut = std::to_string(chkEnOut->value());
    StoreCustomization(app(), schema::kEnableSpdifOut, copies.EnableSpdifOut);
}

void FrmMain::chkEnIn_Click() {
    copies.EnableSpdifIn = std::to_string(chkEnIn->value());
    StoreCustomization(app(), schema::kEnableSpdifIn, copies.EnableSpdifIn);
}

void FrmMain::optDigOut_Click(int index) {
    static const char* const kRates[3] = {"32000", "44100", "48000"};
    if (index < 0 || index > 2) return;
    copies.SpdifFrequency = kRates[index];
    StoreCustomization(app(), schema::kSpdifFrequency, copies.SpdifFrequency);
    lblDigOut->SetCaption(copies.SpdifFrequency);
}

void FrmMain::cmdFixDetect_Click() {
    // The list's key is the driver's to create; without it nothing is stored.
    for (int i = 0; i < 4; ++i) {
        app().registry().StoreValue(store::kHKLM, schema::kSpdifEnableList, std::to_string(i + 1),
                                    static_cast<std::int32_t>(kSpdifCards[i]), store::REG_DWORD);
    }
}

}  // namespace app
