// Places that rest on the fonts, settled once a window's controls exist: a label beside
// another control shares the baseline of that control's text, and a label that follows
// another stands right after that one's text.
#include <string>

#include "gui/win32/win32_adapter.h"
#include "gui/win32/win32_view.h"

namespace gui {

namespace {

HFONT FontOf(HWND hwnd) {
    return reinterpret_cast<HFONT>(SendMessageA(hwnd, WM_GETFONT, 0, 0));
}

TEXTMETRICA Metrics(HWND hwnd) {
    TEXTMETRICA tm = {};
    HDC dc = GetDC(hwnd);
    HGDIOBJ old = SelectObject(dc, FontOf(hwnd));
    GetTextMetricsA(dc, &tm);
    SelectObject(dc, old);
    ReleaseDC(hwnd, dc);
    return tm;
}

// A rectangle of a child, in its parent window's client coordinates.
RECT InParent(HWND child, RECT r, HWND parent) {
    MapWindowPoints(child, parent, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

// Where the partner's first line of text has its baseline, in the parent's coordinates: a
// drop-down list's in its selection field, a text box's at the top of its text area, and a
// control without text gives the line of the dialog font centred on it.
int Baseline(ui::Kind kind, HWND partner, HWND parent, const TEXTMETRICA& dialogFont) {
    const TEXTMETRICA tm = Metrics(partner);
    RECT client;
    GetClientRect(partner, &client);
    if (kind == ui::Kind::List) {
        COMBOBOXINFO info = {};
        info.cbSize = sizeof info;
        if (GetComboBoxInfo(partner, &info)) {
            const RECT item = InParent(partner, info.rcItem, parent);
            return item.top + (item.bottom - item.top - tm.tmHeight) / 2 + tm.tmAscent;
        }
    }
    if (kind == ui::Kind::TextBox) {
        RECT text = client;
        SendMessageA(partner, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&text));
        return InParent(partner, text, parent).top + tm.tmAscent;
    }
    const RECT box = InParent(partner, client, parent);
    return box.top + (box.bottom - box.top - dialogFont.tmHeight) / 2 + dialogFont.tmAscent;
}

// The height of a static text's lines, wrapped at its width as the control wraps them.
int TextHeight(HWND hwnd, int width) {
    const std::string text = win32::WindowText(hwnd);
    RECT r = {0, 0, width, 0};
    HDC dc = GetDC(hwnd);
    HGDIOBJ old = SelectObject(dc, FontOf(hwnd));
    DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &r,
              DT_CALCRECT | DT_WORDBREAK | DT_LEFT | DT_NOPREFIX);
    SelectObject(dc, old);
    ReleaseDC(hwnd, dc);
    return r.bottom - r.top;
}

RECT Placed(HWND hwnd, HWND parent) {
    RECT r;
    GetWindowRect(hwnd, &r);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

}  // namespace

void Win32Adapter::Arrange(View& view) {
    TEXTMETRICA dialogFont = {};
    HDC dc = GetDC(view.hwnd);
    HGDIOBJ old = SelectObject(dc, dialogFont_);
    GetTextMetricsA(dc, &dialogFont);
    SelectObject(dc, old);
    ReleaseDC(view.hwnd, dc);

    for (Binding& b : view.bindings) {
        const ui::Control& c = *b.control;
        // Each is lined up once, when it and the controls it follows have their windows.
        if (b.hwnd == nullptr || b.arranged) continue;
        auto made = [this](const ui::Control* other) {
            const Binding* o = other != nullptr ? BindingOf(*other) : nullptr;
            return other == nullptr || (o != nullptr && o->hwnd != nullptr);
        };
        if (!made(c.lineUpWith) || !made(c.follows) || !made(c.under)) continue;
        b.arranged = true;
        if (const Binding* partner = c.lineUpWith ? BindingOf(*c.lineUpWith) : nullptr) {
            if (partner->hwnd != nullptr) {
                const int baseline =
                    Baseline(partner->control->kind(), partner->hwnd, view.hwnd, dialogFont);
                const RECT r = Placed(b.hwnd, view.hwnd);
                SetWindowPos(b.hwnd, nullptr, r.left, baseline - Metrics(b.hwnd).tmAscent, 0, 0,
                             SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
            }
        }
        if (const Binding* before = c.follows ? BindingOf(*c.follows) : nullptr) {
            if (before->hwnd != nullptr) {
                const std::string text = win32::WindowText(before->hwnd);
                SIZE size = {};
                HDC textDc = GetDC(before->hwnd);
                HGDIOBJ was = SelectObject(textDc, FontOf(before->hwnd));
                GetTextExtentPoint32A(textDc, text.c_str(), static_cast<int>(text.size()), &size);
                SelectObject(textDc, was);
                ReleaseDC(before->hwnd, textDc);
                const RECT r = Placed(before->hwnd, view.hwnd);
                const RECT mine = Placed(b.hwnd, view.hwnd);
                SetWindowPos(b.hwnd, nullptr, r.left + size.cx, mine.top, 0, 0,
                             SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
            }
        }
        if (const Binding* above = c.under ? BindingOf(*c.under) : nullptr) {
            if (above->hwnd != nullptr) {
                const RECT r = Placed(above->hwnd, view.hwnd);
                const int height = TextHeight(above->hwnd, r.right - r.left);
                const RECT mine = Placed(b.hwnd, view.hwnd);
                SetWindowPos(b.hwnd, nullptr, mine.left,
                             r.top + height + Metrics(above->hwnd).tmHeight, 0, 0,
                             SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
            }
        }
    }
}

}  // namespace gui
