#include "dialogs/frm_about_a3d.h"

namespace dialogs {

using ui::Kind;

namespace {
constexpr const char* kTitlesSite = "en.wikipedia.org/wiki/A3D";
}  // namespace

FrmAboutA3D::FrmAboutA3D(ui::App& app, ui::Form& owner)
    : Dialog(app, owner, "frmAboutA3D", "About A3D", 7425, 5355) {
    Label1 = &Add(Kind::Label, "Label1",
                  "A3D places sounds around you in three dimensions. Your ears tell where a "
                  "sound comes from by the small differences between what each of them hears: "
                  "which ear the sound reaches first, how loud it is in each, and how your head "
                  "and ears colour it. A3D recreates those differences, so that ordinary "
                  "speakers or a pair of headphones can put a sound beside, behind or above you.",
                  {240, 1920, 6975, 1095});
    Label2 = &Add(Kind::Label, "Label2",
                  "A3D grew out of years of research into the way people locate sounds, work "
                  "first put to use in flight simulators for NASA. Beyond games, the same "
                  "techniques serve in training simulators, in virtual reality and in the study "
                  "of human hearing.",
                  {240, 3120, 6975, 855});
    Label3 = &Add(Kind::Label, "Label3",
                  std::string("Any interactive program can use A3D: games, simulations, virtual "
                              "worlds, multimedia titles and Internet applications. For a list "
                              "of the titles that support it, visit ") +
                      kTitlesSite + ".",
                  {240, 4080, 6975, 615});
    Label2->under = Label1;
    Label3->under = Label2;
    cmdOK = &Add(Kind::Button, "cmdOK", "OK", {6120, 4800, 1095, 375});
    Label4 = &Add(Kind::Label, "Label4", "A3D Audio By Aureal.Inc", {3480, 600, 1815, 255});
    Label5 = &Add(Kind::Label, "Label5",
                  std::string("For an up-to-date list of A3D supported software titles please "
                              "visit ") +
                      kTitlesSite,
                  {2520, 1080, 3735, 495});
    Image1 = &Add(Kind::Picture, "Image1", "", {600, 240, 870, 1455});
    Image1->picture = "a3dlogo";

    cmdOK->onChange = [this] { cmdOK_Click(); };
}

void FrmAboutA3D::cmdOK_Click() {
    HandBack();
}

}  // namespace dialogs
