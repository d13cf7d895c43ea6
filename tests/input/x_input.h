// The X server's own input, as a user gives it: the pointer moved, buttons pressed and the
// wheel turned, keys typed with their modifiers, all through the XTEST extension; and the
// close request a window manager sends when a title bar's close box is clicked.
#pragma once

#include <string>

struct _XDisplay;

namespace input {

class XInput {
  public:
    // Opens the display named by DISPLAY; false (and the reason) when it cannot, or when the
    // server lacks XTEST.
    bool Open(std::string* error);
    ~XInput();

    void Move(int x, int y);
    void Press(int button);
    void Release(int button);
    void Click(int x, int y, int button = 1);
    void DoubleClick(int x, int y);
    // Presses on the first point, moves there in steps and lets go on the second.
    void Drag(int fromX, int fromY, int toX, int toY);
    // Buttons 4 and 5 turn the wheel up and down, 6 and 7 left and right.
    void Wheel(int x, int y, int button, int notches = 1);
    // One key with modifiers: "Tab", "shift+Tab", "alt+w", "Escape", "space", "Page_Down".
    void Key(const std::string& combo);
    // Printable text, shifted where the keyboard map needs it.
    void Type(const std::string& text);
    // WM_DELETE_WINDOW to the top-level window with this title, as a window manager sends it
    // for a click on the close box; false when there is no such window.
    bool CloseRequest(const std::string& title);
    // Where the server has the top-level window with this title, in the root window's pixels:
    // left, top, width and height; false when there is no such window.
    bool WindowBox(const std::string& title, int& x, int& y, int& w, int& h);
    // The keyboard to the top-level window with this title, as a window manager gives it a
    // window it maps; false when there is no such window.
    bool GiveFocus(const std::string& title);
    // Waits until the server has handled everything sent.
    void Sync();

  private:
    void KeySym(unsigned long keysym, bool press);
    _XDisplay* display_ = nullptr;
};

}  // namespace input
