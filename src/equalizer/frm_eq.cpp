#include "equalizer/frm_eq.h"

#include <cstdint>
#include <iterator>

#include "settings/registry.h"
#include "settings/schema.h"

namespace equalizer {

using settings::kHKLM;
using settings::REG_DWORD;
using settings::REG_SZ;
using ui::Kind;

namespace {

constexpr int kLabelLeft = 120;
constexpr int kLabelWidth = 1575;
constexpr int kListLeft = 1800;
constexpr int kListWidth = 3135;
constexpr int kListHeight = 315;
constexpr int kLabelHeight = 255;
// Three rows of lists, the same 105 twips apart whether the middle one is shown or not.
constexpr int kFirstRow = 180;
constexpr int kThirdRow = 1020;

constexpr int kUserPreset = 5;
constexpr int kSpeakerPreset = 6;

// cboEQPreset positions 0 to 4.
constexpr MusicSet kPresetSets[] = {MusicSet::Rock, MusicSet::Classical, MusicSet::Pop,
                                    MusicSet::Jazz, MusicSet::Dance};
// cboVELTA positions 0 to 5: the same music in another order, and Flat.
constexpr MusicSet kVeltaSets[] = {MusicSet::Rock, MusicSet::Dance,     MusicSet::Pop,
                                   MusicSet::Jazz, MusicSet::Classical, MusicSet::Flat};
// cboSpComp positions 0 to 3.
constexpr SpeakerSet kSpeakerSets[] = {SpeakerSet::Philips, SpeakerSet::Sonigistix,
                                       SpeakerSet::Yamaha, SpeakerSet::Altec};

// What each cboAnalogEQ position stores; "None" parks the line at 3 with the EQ off.
struct AnalogLine {
    int supportAnalogEQ;
    int srcLine;
    int enableState;
};
constexpr AnalogLine kAnalogLines[] = {{0, 3, 0}, {1, 0, 1}, {1, 1, 1}, {1, 2, 1},
                                       {1, 3, 1}, {1, 4, 1}, {1, 5, 1}};

// A stored number as the load takes it: missing is 0; anything that is not a 16-bit whole
// number is no value at all, so that it can select nothing.
std::optional<std::int16_t> ToInt16(const settings::RegValue& value) {
    if (value.empty()) return 0;
    return settings::ParseInt16(value.str());
}

}  // namespace

FrmEQ::FrmEQ(ui::App& app, ui::Form& owner)
    : Dialog(app, owner, "frmEQ", "Equalizer Settings", 5040, 2280) {
    cboEQPreset =
        &Add(Kind::List, "cboEQPreset", "", {kListLeft, kFirstRow, kListWidth, kListHeight});
    cboEQPreset->items = {"Rock", "Classical",           "Pop", "Jazz", "Dance",
                          "User", "Speaker Compensation"};
    Label14 = &Add(Kind::Label, "Label14", "EQ Preset",
                   {kLabelLeft, kFirstRow, kLabelWidth, kLabelHeight});
    cboAnalogEQ =
        &Add(Kind::List, "cboAnalogEQ", "", {kListLeft, kThirdRow, kListWidth, kListHeight});
    cboAnalogEQ->items = {"None", "Phone", "Microphone", "Line-In", "CD-ROM", "Video", "Auxiliary"};
    Label5 = &Add(Kind::Label, "Label5", "&Analog EQ Channel",
                  {kLabelLeft, kThirdRow, kLabelWidth, kLabelHeight});
    Label14->lineUpWith = cboEQPreset;
    Label5->lineUpWith = cboAnalogEQ;
    cmdOK = &Add(Kind::Button, "cmdOK", "OK", {3720, 1800, 1215, 375});
    Frame1 = &Add(Kind::Frame, "Frame1", "Equalizer", {120, 1440, 2295, 735});
    optEQ[0] = &Add(Kind::Option, "optEQ", "On", {120, 360, 975, 255}, 0);
    optEQ[1] = &Add(Kind::Option, "optEQ", "Off", {1200, 360, 975, 255}, 1);
    for (Control* opt : optEQ) opt->container = Frame1;
    // The second row holds one of these two lists at a time, in one and the same place.
    cboVELTA = &Add(Kind::List, "cboVELTA", "", {kListLeft, 600, kListWidth, kListHeight});
    cboVELTA->items = {"Rock", "Dance", "Pop", "Jazz", "Classical", "Flat"};
    cboVELTA->SetEnabled(false);
    cboVELTA->SetVisible(false);
    cboSpComp = &Add(Kind::List, "cboSpComp", "", {kListLeft, 600, kListWidth, kListHeight});
    cboSpComp->items = {"Philips DSS330", "Sonigistix Monsoon MM-700", "Yamaha YSTM100",
                        "Altec Lansing ADA880"};
    cboSpComp->SetVisible(false);
    Wire();
}

void FrmEQ::Wire() {
    cboEQPreset->onChange = [this] { cboEQPreset_Click(); };
    cboAnalogEQ->onChange = [this] { cboAnalogEQ_Click(); };
    cmdOK->onChange = [this] { cmdOK_Click(); };
    for (int i = 0; i < 2; ++i) optEQ[i]->onChange = [this, i] { optEQ_Click(i); };
    cboVELTA->onChange = [this] { cboVELTA_Click(); };
    cboSpComp->onChange = [this] { cboSpComp_Click(); };
}

// Restoring the stored choices goes through the handlers, which write them back.
void FrmEQ::Load() {
    settings::Registry& reg = app().registry();
    loaded.PresetNumber =
        ToInt16(reg.FetchValue(kHKLM, schema::kAU8830Equalizer, schema::kPresetNumber));
    loaded.EqBypass = ToInt16(reg.FetchValue(kHKLM, schema::kDriverEqualizer, schema::kEqBypass));
    loaded.AnalogEQSrcLine =
        ToInt16(reg.FetchValue(kHKLM, schema::kControlPanel, schema::kAnalogEQSrcLine));
    loaded.AnalogEQEnableState =
        ToInt16(reg.FetchValue(kHKLM, schema::kControlPanel, schema::kAnalogEQEnableState));
    loaded.SupportAnalogEQ =
        ToInt16(reg.FetchValue(kHKLM, schema::kCustomization, schema::kSupportAnalogEQ));
    const auto& bypass = loaded.EqBypass;
    const bool bypassKnown = bypass == 0 || bypass == 1;

    if (bypassKnown) optEQ[*bypass]->SetValue(1);

    const auto& preset = loaded.PresetNumber;
    if (preset && cboEQPreset->Accepts(*preset)) cboEQPreset->SetValue(*preset);

    if (cboEQPreset->value() == kUserPreset) {
        ShowList(cboVELTA, true);
        ShowList(cboSpComp, false);
    }
    if (cboEQPreset->value() == kSpeakerPreset) {
        ShowList(cboSpComp, true);
        ShowList(cboVELTA, false);
        loaded.CurrSpeakerComp =
            reg.FetchValue(kHKLM, schema::kSpeakerCompensation, schema::kCurrSpeakerComp).str();
        for (int i = 0; i < static_cast<int>(cboSpComp->items.size()); ++i) {
            if (cboSpComp->items[i] == loaded.CurrSpeakerComp) {
                cboSpComp->SetValue(i);
                break;
            }
        }
    }

    // Re-applying the preset switched the equalizer on; opening the window must not, so the
    // switch found goes back (its handler stores it).
    if (bypassKnown) optEQ[*bypass]->SetValue(1);

    const auto& support = loaded.SupportAnalogEQ;
    if (support == 1) {
        if (loaded.AnalogEQEnableState == 1) {
            const auto& line = loaded.AnalogEQSrcLine;
            if (line && *line >= 0 && *line <= 5) cboAnalogEQ->SetValue(*line + 1);
        } else {
            cboAnalogEQ->SetValue(0);
        }
    } else if (support == 0) {
        cboAnalogEQ->SetValue(0);
    }
}

void FrmEQ::optEQ_Click(int index) {
    if (index != 0 && index != 1) return;
    app().registry().StoreValue(kHKLM, schema::kDriverEqualizer, schema::kEqBypass, index,
                                REG_DWORD);
}

void FrmEQ::cmdOK_Click() {
    HandBack();
}

void FrmEQ::ShowList(Control* list, bool shown) {
    list->SetEnabled(shown);
    list->SetVisible(shown);
}

void FrmEQ::StoreEqualizerOn() {
    if (optEQ[0]->value() == 1) {
        app().registry().StoreValue(kHKLM, schema::kDriverEqualizer, schema::kEqBypass, 0,
                                    REG_DWORD);
    } else {
        optEQ[0]->SetValue(1);  // its handler stores the 0
    }
}

// The coefficient set goes through the binary write pattern, whose key may be refused.
void FrmEQ::WriteCoefficients(const std::string& hexList) {
    settings::BinaryKey key(app().registry(), schema::kDriverEqualizer);
    if (!key.is_open()) {
        app().Show({settings::kUnableToOpenKey.title, settings::kUnableToOpenKey.text});
        return;
    }
    key.Write(schema::kCoefSet0, hexList);
}

void FrmEQ::ApplyMusicSet(MusicSet set) {
    WriteCoefficients(HexText(Music(set)));
    // Made whether or not the set could be written.
    StoreEqualizerOn();
    app().registry().StoreValue(kHKLM, schema::kDriverEqualizer, schema::kActiveCoefSet, 0,
                                REG_DWORD);
}

void FrmEQ::ApplySpeakerSet(SpeakerSet set) {
    WriteCoefficients(HexText(Speaker(set)));
}

void FrmEQ::cboEQPreset_Click() {
    const int i = cboEQPreset->value();
    if (i < 0 || i > kSpeakerPreset) return;
    settings::Registry& reg = app().registry();
    reg.StoreValue(kHKLM, schema::kAU8830EqualizerUpper, schema::kPresetNumber, i, REG_DWORD);
    if (i < kUserPreset) {
        ShowList(cboSpComp, false);
        ShowList(cboVELTA, false);
        ApplyMusicSet(kPresetSets[i]);
    } else if (i == kUserPreset) {
        ShowList(cboSpComp, false);
        ShowList(cboVELTA, true);
    } else {
        // The speaker chosen next writes the set itself.
        reg.StoreValue(kHKLM, schema::kCustomization, schema::kControlPanelPageConfig,
                       std::string("0123456A"), REG_SZ);
        StoreEqualizerOn();
        reg.StoreValue(kHKLM, schema::kDriverEqualizer, schema::kActiveCoefSet, 0, REG_DWORD);
        ShowList(cboSpComp, true);
        ShowList(cboVELTA, false);
    }
}

// The choice made here is not stored: "PresetNumber" stays at "User".
void FrmEQ::cboVELTA_Click() {
    const int j = cboVELTA->value();
    if (j < 0 || j >= static_cast<int>(std::size(kVeltaSets))) return;
    ApplyMusicSet(kVeltaSets[j]);
}

void FrmEQ::cboAnalogEQ_Click() {
    const int i = cboAnalogEQ->value();
    if (i < 0 || i >= static_cast<int>(std::size(kAnalogLines))) return;
    const AnalogLine& line = kAnalogLines[i];
    settings::Registry& reg = app().registry();
    reg.StoreValue(kHKLM, schema::kCustomization, schema::kSupportAnalogEQ, line.supportAnalogEQ,
                   REG_DWORD);
    reg.StoreValue(kHKLM, schema::kControlPanel, schema::kAnalogEQSrcLine, line.srcLine, REG_DWORD);
    reg.StoreValue(kHKLM, schema::kControlPanel, schema::kAnalogEQEnableState, line.enableState,
                   REG_DWORD);
}

void FrmEQ::cboSpComp_Click() {
    settings::Registry& reg = app().registry();
    reg.StoreValue(kHKLM, schema::kAU8830EqualizerUpper, schema::kPresetNumber, kSpeakerPreset,
                   REG_DWORD);
    const int i = cboSpComp->value();
    if (i < 0 || i >= static_cast<int>(std::size(kSpeakerSets))) return;
    reg.StoreValue(kHKLM, schema::kSpeakerCompensation, schema::kCurrSpeakerComp,
                   cboSpComp->items[i], REG_SZ);
    ApplySpeakerSet(kSpeakerSets[i]);
}

}  // namespace equalizer
