// The WPCRSET window: the outside PCI-latency service's start-up switches, its PCI register
// records for a chipset and slot, and the two VIA options that add a record of their own.
// The window only edits WPCRSET's registry settings; it never runs WPCRSET.
#pragma once

#include <cstdint>
#include <string>

#include "ui/app.h"
#include "ui/dialog.h"

namespace wpcrset {

using ui::Control;

// The site from which WPCRSET can be downloaded, named when it is missing.
inline constexpr const char* kDownloadSite = "http://www.h-oda.com/";

// Slot records name PCI device 8 + slot position, function 0.
inline constexpr int kFirstSlotDevice = 8;

// The record "Reg00" for a chipset (list position, 2 = "Intel i81x") and a slot position.
std::int32_t SlotRecord(int chipset, int slot);
// The VIA fix record "Reg01" (device 1, function 0).
inline constexpr std::int32_t kViaFixRecord = 0x00084210;
inline constexpr std::int32_t kViaFixFastAgpRecord = 0x00084270;

class FrmWPCRSET : public ui::Dialog {
  public:
    // owner: the window that opened this one and gets it back when it closes.
    FrmWPCRSET(ui::App& app, ui::Form& owner);

    Control* Frame1;
    Control* optWPCRSET[2];
    Control* Frame2;
    Control* optWDevice[2];
    Control* Label1;
    Control* cmdWPCRHelp;
    Control* Command1;
    Control* Label2;
    Control* Frame3;
    Control* chkVIAFix;
    Control* cmdUpdate;
    Control* cboDevice;
    Control* cboChipset;
    Control* Label4;
    Control* Label3;
    Control* Label5;
    Control* chkVIAAGP;
    Control* cmdVIAHelp;
    Control* cmdRemove;

    // The texts the window holds while open: each starts as the value read at load.
    std::string WpcrsetStart;
    std::string DeviceStart;
    std::string ViaFixState;
    std::string ViaAgpState;

  protected:
    void Load() override;  // Form_Load

  private:
    void Wire();

    void optWPCRSET_Click(int index);
    void optWDevice_Click(int index);
    void cboChipset_Click();
    void cboDevice_Click();
    void cmdUpdate_Click();
    void cmdRemove_Click();
    void chkVIAFix_Click();
    void chkVIAAGP_Click();
    void cmdVIAHelp_Click();
    void cmdWPCRHelp_Click();
    void Command1_Click();
};

}  // namespace wpcrset
