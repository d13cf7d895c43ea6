// What the FLTK toolkit itself costs to start: a bare window the size of the main window, with
// five tabs, two check boxes and three buttons, the scheme the program uses, and nothing else.
// Its start-up is the floor the program's is measured against.
#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Group.H>
#include <FL/Fl_Tabs.H>

int main(int argc, char** argv) {
    Fl::scheme("gtk+");
    Fl_Double_Window window(368, 344, "Floor FLTK");
    Fl_Tabs tabs(8, 8, 352, 296);
    const char* const names[] = {"General", "MIDI", "A3D", "AC97", "Digital"};
    for (int i = 0; i < 5; ++i) {
        auto* page = new Fl_Group(8, 30, 352, 274, names[i]);
        if (i == 0) {
            new Fl_Check_Button(24, 50, 200, 20, "First option");
            new Fl_Check_Button(24, 74, 200, 20, "Second option");
        }
        page->end();
    }
    tabs.end();
    new Fl_Button(8, 312, 49, 25, "About");
    new Fl_Button(208, 312, 73, 25, "OK");
    new Fl_Button(288, 312, 73, 25, "Reset");
    window.end();
    window.show(argc, argv);
    return Fl::run();
}
