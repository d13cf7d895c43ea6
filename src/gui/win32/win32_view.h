// The adapter's records of the native windows, shared by its files, and the text helpers
// they all use.
#pragma once

#include <string>
#include <vector>

#include "gui/win32/win32_adapter.h"
#include "platform/win32/windows_api.h"
#include "ui/control.h"
#include "ui/form.h"

namespace gui {

struct Win32Adapter::Binding {
    ui::Control* control = nullptr;
    HWND hwnd = nullptr;
    HFONT font = nullptr;      // a font of its own, when the control names one
    HBITMAP bitmap = nullptr;  // a picture's, or an icon list's icons side by side
    HIMAGELIST images = nullptr;
    std::string picture;             // the picture the bitmap shows
    std::vector<std::string> items;  // the entries the native control holds
    bool itemsEnabled = true;        // whether they are drawn as enabled
    bool transparent = false;        // a label drawn over a picture
    bool arranged = false;           // lined up with the controls it follows
};

struct Win32Adapter::View {
    Win32Adapter* adapter = nullptr;
    ui::Form* form = nullptr;
    HWND hwnd = nullptr;
    HWND tooltip = nullptr;         // made when the mouse first comes over the window
    std::vector<Binding> bindings;  // in the form's control order
    bool placed = false;
    HWND focus = nullptr;  // restored when the window is activated again
    // The colour of the tab control's pages, which controls on them take as background.
    bool pageKnown = false;
    COLORREF pageColor = 0;
    HBRUSH pageBrush = nullptr;

    int IdOf(const Binding& binding) const {
        return kFirstControlId + static_cast<int>(&binding - bindings.data());
    }
    // The binding with that control ID, or null.
    Binding* WithId(int id) {
        const int index = id - kFirstControlId;
        if (index < 0 || index >= static_cast<int>(bindings.size())) return nullptr;
        return &bindings[static_cast<std::size_t>(index)];
    }
};

namespace win32 {

std::string WindowText(HWND hwnd);
// Edit controls break lines at CR LF; the model holds plain LF.
std::string ToEdit(const std::string& text);
std::string FromEdit(const std::string& text);

}  // namespace win32

}  // namespace gui
