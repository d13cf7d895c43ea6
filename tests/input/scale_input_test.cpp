// The window at the desktop's scale: FLTK 1.4 draws it at the scale the desktop asks for
// (FLTK_SCALING_FACTOR here, as ctest sets it for the suite's second run), and zooms it by Ctrl
// and + or -; FLTK 1.3 keeps it at 1x.
#include <cmath>
#include <cstdlib>

#include "input_fixture.h"

namespace input {
namespace {

constexpr int kMainWidth = 368, kMainHeight = 344;  // the main window's pixels at 1x

// The scale the window is to be drawn at.
double AskedScale() {
#if CALVENOR_FLTK_FOLLOWS_SCALE
    const char* asked = std::getenv("FLTK_SCALING_FACTOR");
    return asked != nullptr ? std::strtod(asked, nullptr) : 1;
#else
    return 1;
#endif
}

class Scale : public Input {
  protected:
    // The main window as the X server has it, beside the record's: the places the suite
    // clicks at are the server's pixels (to a pixel where the scale is not whole).
    Box OnServer(const std::string& when) {
        Box server;
        EXPECT_TRUE(x_.WindowBox("Calvenor XP", server.x, server.y, server.w, server.h)) << when;
        const Window* main = screen_.FindWindow("frmMain");
        EXPECT_NE(main, nullptr) << when;
        if (main != nullptr) {
            EXPECT_NEAR(main->client.x, server.x, 1) << when;
            EXPECT_NEAR(main->client.y, server.y, 1) << when;
            EXPECT_NEAR(main->client.w, server.w, 1) << when;
            EXPECT_NEAR(main->client.h, server.h, 1) << when;
        }
        return server;
    }
};

TEST_F(Scale, MainWindowIsDrawnAtTheDesktopsScale) {
    const Box box = OnServer("at start");
    const double scale = AskedScale();
    EXPECT_NEAR(box.w, kMainWidth * scale, 1) << "at scale " << scale;
    EXPECT_NEAR(box.h, kMainHeight * scale, 1) << "at scale " << scale;
}

#if CALVENOR_FLTK_FOLLOWS_SCALE
// Ctrl and + zooms the windows by FLTK's next step (a tenth more), the controls answer the
// mouse where they then are, and Ctrl and 0 brings back the desktop's scale.
TEST_F(Scale, CtrlPlusZoomsAndCtrlZeroGoesBackToTheDesktopsScale) {
    ShowTab("AC'97 Controls");
    const Box before = OnServer("before the zoom");
    // The key, then the screen once the main window has the width and FLTK's window that shows
    // the new scale for a second has gone.
    auto zoom = [&](const char* key, double width) {
        x_.Key(key);
        screen_ = panel_.WaitFor(
            [width](const Screen& s) {
                const Window* main = s.FindWindow("frmMain");
                return main != nullptr && std::abs(main->client.w - width) <= 1.5 &&
                       s.Menus().empty();
            },
            5000);
        After(key);
    };
    zoom("ctrl+KP_Add", before.w * 1.1);
    const Box zoomed = OnServer("zoomed");
    EXPECT_NEAR(zoomed.w, before.w * 1.1, 1.5);
    EXPECT_NEAR(zoomed.h, before.h * 1.1, 1.5);

    const std::string st3d = At(schema::kCustomization, schema::kDisableAC97Codec3DEffect);
    const int was = C("frmMain.chkST3D").value;
    Click("frmMain.chkST3D");
    After("click when zoomed", {{st3d, Dword(1 - was)}});
    EXPECT_EQ(C("frmMain.chkST3D").value, 1 - was);
    Agrees("frmMain.chkST3D", "click when zoomed");

    zoom("ctrl+0", before.w);
    const Box back = OnServer("back");
    EXPECT_EQ(back.w, before.w);
    EXPECT_EQ(back.h, before.h);
}
#endif

}  // namespace
}  // namespace input
