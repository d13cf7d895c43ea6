// What the program shows, read from the record its adapter writes under CALVENOR_PROBE.
#pragma once

#include <string>
#include <vector>

namespace input {

struct Box {
    int x = 0, y = 0, w = 0, h = 0;
    int cx() const { return x + w / 2; }
    int cy() const { return y + h / 2; }
    bool empty() const { return w <= 0 || h <= 0; }
};

struct Control {
    std::string window;  // "frmMain"
    std::string id;      // "hsbPCM1", "optDigOut(2)"
    std::string kind;
    Box box;
    bool shown = false, enabled = false, focus = false;
    int value = 0;
    std::string text;
    bool hasThumb = false;
    Box thumb;
    std::vector<Box> parts;
    bool modelShown = false, modelEnabled = false;
    int modelValue = 0;
    std::string modelText;
    std::string Name() const { return window + "." + id; }
};

struct Window {
    std::string name, title;
    Box frame, client;
    bool shown = false, enabled = false, modelVisible = false, modelEnabled = false;
    std::vector<Control> controls;
};

// A window the program has no form for: a message box or a drop-down list.
struct Item {
    std::string kind, text;
    Box box;
};
struct Popup {
    std::string title;
    Box frame;
    bool shown = false;
    std::vector<Item> items;
    const Item* Button(const std::string& text) const;
};

struct Screen {
    std::vector<Window> windows;
    std::vector<Popup> popups;

    // Parses a whole record; false (and why) for a torn or unknown one.
    bool Parse(const std::string& text, std::string* error);
    const Window* FindWindow(const std::string& name) const;
    // "frmMain.hsbPCM1"; null when that window or control is not open.
    const Control* Find(const std::string& name) const;
    // The control with the keyboard focus, "" for none.
    std::string Focus() const;
    // The message boxes on screen (popups with a title).
    std::vector<const Popup*> Boxes() const;
    // Drop-down lists on screen (popups without one).
    std::vector<const Popup*> Menus() const;
};

// The record's text quoting undone.
std::string Unquote(const std::string& quoted);

}  // namespace input
