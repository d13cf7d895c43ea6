#include "dialogs/frm_quad.h"

#include "settings/registry.h"
#include "settings/schema.h"

namespace dialogs {

using settings::kHKLM;
using settings::REG_DWORD;
using ui::Kind;

FrmQuad::FrmQuad(ui::App& app, ui::Form& owner)
    : Dialog(app, owner, "frmQuad", "Quad Settings", 5640, 2520) {
    cmdOK = &Add(Kind::Button, "cmdOK", "OK", {4320, 1980, 1215, 375});
    Image1 = &Add(Kind::Picture, "Image1", "", {120, 120, 1215, 1815});
    Image1->picture = "quadwindow";
    Frame1 = &Add(Kind::Frame, "Frame1", "Quad Codec Output Mode", {1455, 120, 2295, 1095});
    const char* const captions[] = {"&Stereo", "&Quad"};
    for (int i = 0; i < 2; ++i) {
        optQuad[i] = &Add(Kind::Option, "optQuad", captions[i], {240, 330 + i * 360, 1815, 285}, i);
        optQuad[i]->container = Frame1;
    }
    Label1 = &Add(Kind::Label, "Label1", "Current Mode:", {3915, 360, 1215, 255});
    // Stays as designed while the stored mode is neither stereo nor quad.
    lblQuad = &Add(Kind::Label, "lblQuad", "Unknown", {3915, 660, 1215, 255});
    chkShare = &Add(Kind::CheckBox, "chkShare", "&Share Front and Rear Output Jacks",
                    {1455, 1380, 3975, 285});

    for (int i = 0; i < 2; ++i) optQuad[i]->onChange = [this, i] { optQuad_Click(i); };
    chkShare->onChange = [this] { chkShare_Click(); };
    cmdOK->onChange = [this] { cmdOK_Click(); };
}

void FrmQuad::Load() {
    settings::Registry& registry = app().registry();
    mode_ =
        registry.FetchValue(kHKLM, schema::kControlPanel, schema::kQuadCodecOutputModeState).str();
    sharing_ = registry.FetchValue(kHKLM, schema::kCustomization, schema::kSetGPIO0InQuad).str();
    ShowMode();
    if (sharing_.empty()) {
        registry.StoreValue(kHKLM, schema::kCustomization, schema::kSetGPIO0InQuad, 0, REG_DWORD);
        sharing_ =
            registry.FetchValue(kHKLM, schema::kCustomization, schema::kSetGPIO0InQuad).str();
    }
    // Anything but 0 or 1 (still missing, a text, another number) leaves the box unchecked
    // and writes nothing back.
    const auto sharing = settings::ParseNumber(sharing_);
    if (sharing && chkShare->Accepts(*sharing)) chkShare->SetValue(*sharing);
}

void FrmQuad::ShowMode() {
    const auto mode = settings::ParseNumber(mode_);
    if (mode == 0) {
        lblQuad->SetCaption("Stereo");
    } else if (mode == 1) {
        lblQuad->SetCaption("Quad");
    }
}

void FrmQuad::optQuad_Click(int index) {
    mode_ = index == 0 ? "0" : "1";
    app().registry().StoreValue(kHKLM, schema::kControlPanel, schema::kQuadCodecOutputModeState,
                                index == 0 ? 0 : 1, REG_DWORD);
    ShowMode();
}

void FrmQuad::chkShare_Click() {
    sharing_ = std::to_string(chkShare->value());
    app().registry().StoreValue(kHKLM, schema::kCustomization, schema::kSetGPIO0InQuad,
                                chkShare->value(), REG_DWORD);
}

void FrmQuad::cmdOK_Click() {
    HandBack();
}

}  // namespace dialogs
