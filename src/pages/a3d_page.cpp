#include "pages/a3d_page.h"

#include "detect/file_version.h"
#include "settings/schema.h"

namespace pages {

using ui::Kind;

void A3DPage::Build() {
    Image2 = &Add(Kind::Picture, "Image2", "", {240, 480, 960, 960});
    Image2->picture = "a3d";
    Label5 = &Add(Kind::Label, "Label5", "A3D.DLL Version", {1440, 540, 1695, 255});
    Label6 = &Add(Kind::Label, "Label6", "A3DAPI.DLL Version", {1440, 900, 1695, 255});
    Label13 = &Add(Kind::Label, "Label13", "Driver Version", {1440, 1260, 1695, 255});
    Frame7 = &Add(Kind::Frame, "Frame7", "A3D Type", {240, 1680, 4815, 1815});
    cboA3DType = &Add(Kind::List, "cboA3DType", "", {1920, 780, 2655, 315}, Frame7);
    cboA3DType->items = {"Headphones", "Satellite Speakers", "Monitor Speakers", "Quad Speakers"};
    cboA3DType->tooltip = "A3D Type";
    // Four pictures stacked at one place; the list's handler shows one at a time.
    auto speaker = [&](const char* name, const char* picture) {
        Control* img = &Add(Kind::Picture, name, "", {240, 300, 1440, 1380}, Frame7);
        img->picture = picture;
        return img;
    };
    imgQuad = speaker("imgQuad", "quad");
    imgSat = speaker("imgSat", "satellite");
    imgPhones = speaker("imgPhones", "headphones");
    imgMon = speaker("imgMon", "monitor");
    for (Control* img : {imgQuad, imgSat, imgMon}) img->SetVisible(false);
    cmdQuad = &Add(Kind::Button, "cmdQuad", "Quad Settings", {240, 3660, 1695, 375});
    cmdAboutA3D = &Add(Kind::Button, "cmdAboutA3D", "About A3D", {2160, 3660, 1695, 375});
    auto version = [&](const char* name, int top) {
        Control* box = &Add(Kind::TextBox, name, "", {3240, top, 1335, 315});
        box->readOnly = true;
        box->SetText("NA");
        return box;
    };
    txtA3DVer = version("txtA3DVer", 480);
    txtA3DAPI = version("txtA3DAPI", 840);
    txtDrvVer = version("txtDrvVer", 1200);
    Label5->lineUpWith = txtA3DVer;
    Label6->lineUpWith = txtA3DAPI;
    Label13->lineUpWith = txtDrvVer;
    cmdDrvVerHlp = &Add(Kind::Button, "cmdDrvVerHlp", "?", {4680, 1200, 315, 315});

    cboA3DType->onChange = [this] { cboA3DType_Click(); };
}

void A3DPage::ShowSpeakerPicture(int speakers) {
    Control* const pictures[4] = {imgPhones, imgSat, imgMon, imgQuad};
    for (int i = 0; i < 4; ++i) pictures[i]->SetVisible(i == speakers);
}

void A3DPage::ReadSettings() {
    held.PrimaryXtalk = Read(schema::kControlPanel, schema::kPrimaryXtalk);
}

// Stored 1 to 4 are the positions 0 to 3; 0 gives no selection.
void A3DPage::ShowSpeakerType() {
    SetFrom16(cboA3DType, held.PrimaryXtalk, -1);
}

// Older driver packages name their file admaud30.sys.
std::string A3DPage::ShowVersions() {
    platform::Platform& platform = app().platform();
    txtA3DVer->SetText(detect::FileVersionText(platform, "a3d.dll"));
    txtA3DAPI->SetText(detect::FileVersionText(platform, "a3dapi.dll"));
    std::string driverFile = "drivers\\adm8830.sys";
    txtDrvVer->SetText(detect::FileVersionText(platform, driverFile));
    if (txtDrvVer->text() == "N/A") {
        txtDrvVer->SetText(detect::FileVersionText(platform, "drivers\\admaud30.sys"));
        if (txtDrvVer->text() != "N/A") driverFile = "drivers\\admaud30.sys";
    }
    return driverFile;
}

void A3DPage::cboA3DType_Click() {
    const int position = cboA3DType->value();
    if (position < kHeadphones || position > kQuad) return;
    ShowSpeakerPicture(position);
    registry().StoreValue(settings::kHKLM, schema::kControlPanel, schema::kPrimaryXtalk,
                          position + 1, settings::REG_DWORD);
}

}  // namespace pages
