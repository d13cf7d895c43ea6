#include "x_input.h"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <unistd.h>

#include <sstream>
#include <vector>

namespace input {

namespace {

// Pauses that let the program see a press and a release as a person's, not as one event.
void Pause(int milliseconds) {
    usleep(static_cast<useconds_t>(milliseconds) * 1000);
}

std::string Title(Display* d, Window w) {
    Atom utf8 = XInternAtom(d, "UTF8_STRING", False);
    Atom netName = XInternAtom(d, "_NET_WM_NAME", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::string title;
    if (XGetWindowProperty(d, w, netName, 0, 1024, False, utf8, &type, &format, &count, &after,
                           &data) == Success &&
        data != nullptr && type == utf8) {
        title.assign(reinterpret_cast<char*>(data), count);
    }
    if (data != nullptr) XFree(data);
    if (!title.empty()) return title;
    char* name = nullptr;
    if (XFetchName(d, w, &name) && name != nullptr) {
        title = name;
        XFree(name);
    }
    return title;
}

// The window with the title among w and its descendants, depth first.
Window FindTitled(Display* d, Window w, const std::string& title, int depth) {
    if (Title(d, w) == title) return w;
    if (depth > 3) return 0;
    Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(d, w, &root, &parent, &children, &count)) return 0;
    Window found = 0;
    for (unsigned i = 0; i < count && found == 0; ++i) {
        found = FindTitled(d, children[i], title, depth + 1);
    }
    if (children != nullptr) XFree(children);
    return found;
}

}  // namespace

bool XInput::Open(std::string* error) {
    display_ = XOpenDisplay(nullptr);
    if (display_ == nullptr) {
        *error = "cannot open the X display (DISPLAY is not set or the server is gone)";
        return false;
    }
    int event = 0, xerror = 0, major = 0, minor = 0;
    if (!XTestQueryExtension(display_, &event, &xerror, &major, &minor)) {
        *error = "the X server has no XTEST extension";
        return false;
    }
    return true;
}

XInput::~XInput() {
    if (display_ != nullptr) XCloseDisplay(display_);
}

void XInput::Sync() {
    XSync(display_, False);
}

void XInput::Move(int x, int y) {
    XTestFakeMotionEvent(display_, -1, x, y, CurrentTime);
    Sync();
    Pause(30);
}

void XInput::Press(int button) {
    XTestFakeButtonEvent(display_, static_cast<unsigned>(button), True, CurrentTime);
    Sync();
    Pause(40);
}

void XInput::Release(int button) {
    XTestFakeButtonEvent(display_, static_cast<unsigned>(button), False, CurrentTime);
    Sync();
    Pause(40);
}

void XInput::Click(int x, int y, int button) {
    Move(x, y);
    Press(button);
    Release(button);
}

void XInput::DoubleClick(int x, int y) {
    Move(x, y);
    for (int i = 0; i < 2; ++i) {
        XTestFakeButtonEvent(display_, 1, True, CurrentTime);
        XTestFakeButtonEvent(display_, 1, False, CurrentTime);
        Sync();
        Pause(60);
    }
}

void XInput::Drag(int fromX, int fromY, int toX, int toY) {
    Move(fromX, fromY);
    Press(1);
    constexpr int kSteps = 8;
    for (int i = 1; i <= kSteps; ++i) {
        Move(fromX + (toX - fromX) * i / kSteps, fromY + (toY - fromY) * i / kSteps);
    }
    Pause(60);
    Release(1);
}

void XInput::Wheel(int x, int y, int button, int notches) {
    Move(x, y);
    for (int i = 0; i < notches; ++i) {
        Press(button);
        Release(button);
    }
}

void XInput::KeySym(unsigned long keysym, bool press) {
    const KeyCode code = XKeysymToKeycode(display_, keysym);
    if (code == 0) return;
    XTestFakeKeyEvent(display_, code, press ? True : False, CurrentTime);
    Sync();
    Pause(press ? 20 : 40);
}

void XInput::Key(const std::string& combo) {
    std::vector<unsigned long> held;
    std::stringstream parts(combo);
    std::string part;
    std::vector<std::string> names;
    while (std::getline(parts, part, '+')) names.push_back(part);
    for (std::size_t i = 0; i + 1 < names.size(); ++i) {
        const std::string& m = names[i];
        const unsigned long sym = m == "shift"  ? XK_Shift_L
                                  : m == "ctrl" ? XK_Control_L
                                  : m == "alt"  ? XK_Alt_L
                                                : NoSymbol;
        if (sym == NoSymbol) continue;
        KeySym(sym, true);
        held.push_back(sym);
    }
    const unsigned long sym = XStringToKeysym(names.empty() ? "" : names.back().c_str());
    KeySym(sym, true);
    KeySym(sym, false);
    for (auto it = held.rbegin(); it != held.rend(); ++it) KeySym(*it, false);
}

void XInput::Type(const std::string& text) {
    for (const char ch : text) {
        const unsigned long sym = static_cast<unsigned char>(ch);  // Latin-1 keysyms
        const KeyCode code = XKeysymToKeycode(display_, sym);
        if (code == 0) continue;
        const bool shifted = XkbKeycodeToKeysym(display_, code, 0, 0) != sym;
        if (shifted) KeySym(XK_Shift_L, true);
        KeySym(sym, true);
        KeySym(sym, false);
        if (shifted) KeySym(XK_Shift_L, false);
    }
}

bool XInput::CloseRequest(const std::string& title) {
    const Window w = FindTitled(display_, DefaultRootWindow(display_), title, 0);
    if (w == 0) return false;
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = w;
    event.xclient.message_type = XInternAtom(display_, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display_, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display_, w, False, NoEventMask, &event);
    Sync();
    return true;
}

bool XInput::WindowBox(const std::string& title, int& x, int& y, int& w, int& h) {
    const Window window = FindTitled(display_, DefaultRootWindow(display_), title, 0);
    XWindowAttributes attributes{};
    Window child = 0;
    if (window == 0 || !XGetWindowAttributes(display_, window, &attributes) ||
        !XTranslateCoordinates(display_, window, DefaultRootWindow(display_), 0, 0, &x, &y,
                               &child)) {
        return false;
    }
    w = attributes.width;
    h = attributes.height;
    return true;
}

bool XInput::GiveFocus(const std::string& title) {
    const Window w = FindTitled(display_, DefaultRootWindow(display_), title, 0);
    if (w == 0) return false;
    XSetInputFocus(display_, w, RevertToParent, CurrentTime);
    Sync();
    return true;
}

}  // namespace input
