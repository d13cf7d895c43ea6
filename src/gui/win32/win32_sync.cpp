// Bringing the native windows in line with the model: values, texts, entries, pictures,
// what is shown and enabled, and where a window first appears.
#include <algorithm>
#include <cstring>

#include "gui/win32/win32_adapter.h"
#include "gui/win32/win32_bitmaps.h"
#include "gui/win32/win32_view.h"
#include "ui/screen.h"
#include "ui/sync_guard.h"

namespace gui {

using ui::Control;
using ui::Kind;

namespace {

void FillList(HWND h, const Control& c) {
    SendMessageA(h, CB_RESETCONTENT, 0, 0);
    for (const std::string& item : c.items) {
        SendMessageA(h, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
    }
    SendMessageA(h, CB_SETCURSEL, static_cast<WPARAM>(c.value()), 0);
}

void FillTabs(HWND h, const Control& c) {
    SendMessageA(h, TCM_DELETEALLITEMS, 0, 0);
    int i = 0;
    for (const std::string& item : c.items) {
        TCITEMA tab;
        std::memset(&tab, 0, sizeof tab);
        tab.mask = TCIF_TEXT;
        tab.pszText = const_cast<char*>(item.c_str());
        SendMessageA(h, TCM_INSERTITEMA, i++, reinterpret_cast<LPARAM>(&tab));
    }
    SendMessageA(h, TCM_SETCURSEL, static_cast<WPARAM>(c.value()), 0);
}

// Spreads the icons over the whole list, so that all of them show without scrolling where
// they fit.
void SpreadIcons(HWND h, int count, int size) {
    RECT rc;
    GetClientRect(h, &rc);
    const int rows = std::max(1, static_cast<int>(rc.bottom) / (size + 34));
    const int columns = std::max(1, (count + rows - 1) / rows);
    const int cx = std::max(size + 16, std::min<int>(rc.right / columns, size * 3));
    const int cy = std::max(size + 34, static_cast<int>(rc.bottom) / rows);
    SendMessageA(h, LVM_SETICONSPACING, 0, MAKELPARAM(cx, cy));
    SendMessageA(h, LVM_ARRANGE, LVA_DEFAULT, 0);
}

// A disabled list is drawn as a disabled control: on the dialog face, in grey text, with
// greyed icons. The icons are drawn by the window (win32_dispatch.cpp) from one strip: the
// list's own image list drawing cost about 0.4 ms an icon under Wine. Its image list stays,
// empty, for the size of the icons' places.
void FillIconList(HWND h, HBITMAP& strip, const Control& c, bool enabled) {
    // Redrawn once when filled, not for every entry and setting.
    SendMessageA(h, WM_SETREDRAW, FALSE, 0);
    SendMessageA(h, LVM_DELETEALLITEMS, 0, 0);
    const int size = GetSystemMetrics(SM_CXICON);
    const COLORREF back = GetSysColor(enabled ? COLOR_WINDOW : COLOR_BTNFACE);
    SendMessageA(h, LVM_SETBKCOLOR, 0, back);
    SendMessageA(h, LVM_SETTEXTBKCOLOR, 0, back);
    SendMessageA(h, LVM_SETTEXTCOLOR, 0, GetSysColor(enabled ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT));
    if (strip != nullptr) DeleteObject(strip);
    strip = win32::MakeIconStrip(ui::IconPictures(c), size, back, !enabled,
                                 GetSysColor(COLOR_HIGHLIGHT));
    for (std::size_t i = 0; i < c.items.size(); ++i) {
        LVITEMA item;
        std::memset(&item, 0, sizeof item);
        item.mask = LVIF_TEXT | LVIF_IMAGE;
        item.iItem = static_cast<int>(i);
        item.iImage = I_IMAGENONE;
        item.pszText = const_cast<char*>(c.items[i].c_str());
        SendMessageA(h, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
    }
    SpreadIcons(h, static_cast<int>(c.items.size()), size);
    SendMessageA(h, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(h, nullptr, TRUE);
}

void SelectIcon(HWND h, int selected) {
    const int now =
        static_cast<int>(SendMessageA(h, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    if (now == selected) return;
    LVITEMA item;
    std::memset(&item, 0, sizeof item);
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = 0;
    SendMessageA(h, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&item));
    if (selected >= 0) {
        item.state = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageA(h, LVM_SETITEMSTATE, static_cast<WPARAM>(selected),
                     reinterpret_cast<LPARAM>(&item));
    }
}

// Nothing erases behind a see-through label: what lies under it is repainted.
void RepaintUnder(HWND h, HWND parent) {
    RECT r;
    GetWindowRect(h, &r);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    RedrawWindow(parent, &r, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

ui::ScreenBox Box(const RECT& r) {
    return {static_cast<int>(r.left), static_cast<int>(r.top), static_cast<int>(r.right - r.left),
            static_cast<int>(r.bottom - r.top)};
}

}  // namespace

void Win32Adapter::Sync(View& view, Binding& binding) {
    const Control& c = *binding.control;
    HWND h = binding.hwnd;
    if (h == nullptr) return;
    const ui::SyncGuard guard(syncing_);
    SyncItems(binding);
    SyncPicture(binding);
    switch (c.kind()) {
        case Kind::CheckBox:
        case Kind::Option:
            SendMessageA(h, BM_SETCHECK, c.value() ? BST_CHECKED : BST_UNCHECKED, 0);
            break;
        case Kind::List:
            if (SendMessageA(h, CB_GETCURSEL, 0, 0) != c.value()) {
                SendMessageA(h, CB_SETCURSEL, static_cast<WPARAM>(c.value()), 0);
            }
            break;
        case Kind::ScrollBar:
            SetScrollPos(h, SB_CTL, c.value(), TRUE);
            break;
        case Kind::Slider:
            SendMessageA(h, TBM_SETPOS, TRUE, c.value());
            break;
        case Kind::Tabs:
            if (SendMessageA(h, TCM_GETCURSEL, 0, 0) != c.value()) {
                SendMessageA(h, TCM_SETCURSEL, static_cast<WPARAM>(c.value()), 0);
            }
            break;
        case Kind::IconList:
            SelectIcon(h, c.value());
            break;
        case Kind::TextBox: {
            const std::string text = win32::ToEdit(c.text());
            if (win32::WindowText(h) != text) SetWindowTextA(h, text.c_str());
            break;
        }
        case Kind::Button:
        case Kind::Label:
        case Kind::Frame:
            if (win32::WindowText(h) != c.caption()) {
                SetWindowTextA(h, c.caption().c_str());
                if (binding.transparent) RepaintUnder(h, view.hwnd);
            }
            break;
        case Kind::Picture:
            break;
    }
}

// Entries of lists, icon lists and tab pages: forms may fill them in their load, after the
// window was created, so they are compared again whenever the control or window changes.
void Win32Adapter::SyncItems(Binding& binding) {
    const Control& c = *binding.control;
    const bool enabled = ui::EnabledOnScreen(c);
    if (binding.hwnd == nullptr ||
        (binding.items == c.items &&
         (c.kind() != Kind::IconList || binding.itemsEnabled == enabled))) {
        return;
    }
    const ui::SyncGuard guard(syncing_);
    switch (c.kind()) {
        case Kind::List:
            FillList(binding.hwnd, c);
            break;
        case Kind::Tabs:
            FillTabs(binding.hwnd, c);
            break;
        case Kind::IconList:
            FillIconList(binding.hwnd, binding.bitmap, c, enabled);
            break;
        default:
            break;
    }
    binding.items = c.items;
    binding.itemsEnabled = enabled;
}

void Win32Adapter::SyncPicture(Binding& binding) {
    const Control& c = *binding.control;
    if (c.kind() != Kind::Picture || binding.hwnd == nullptr || binding.picture == c.picture) {
        return;
    }
    // Made when first shown: most pictures sit on pages that a start never shows.
    if (!ui::ShownOnScreen(c)) return;
    binding.picture = c.picture;
    RECT r;
    GetClientRect(binding.hwnd, &r);
    HBITMAP bitmap = nullptr;
    const ui::Image image = ui::RenderPicture(c.picture, r.right - r.left, r.bottom - r.top);
    View* view = ViewOf(&c.form());
    const COLORREF back =
        c.tab >= 0 && view != nullptr ? PageColor(*view) : GetSysColor(COLOR_BTNFACE);
    if (!image.empty()) bitmap = win32::MakeBitmap(image, back);
    HBITMAP old = reinterpret_cast<HBITMAP>(
        SendMessageA(binding.hwnd, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap)));
    if (old != nullptr && old != bitmap) DeleteObject(old);
    if (binding.bitmap != nullptr && binding.bitmap != old) DeleteObject(binding.bitmap);
    binding.bitmap = bitmap;
}

// The page colour is sampled once, from the window's tab control.
COLORREF Win32Adapter::PageColor(View& view) {
    if (view.pageKnown) return view.pageColor;
    view.pageColor = GetSysColor(COLOR_BTNFACE);
    HWND tabs = nullptr;
    for (Binding& b : view.bindings) {
        if (b.control->kind() == Kind::Tabs) tabs = b.hwnd;
    }
    if (tabs == nullptr) return view.pageColor;
    view.pageKnown = true;
    view.pageColor = win32::SamplePageColor(tabs, view.pageColor);
    view.pageBrush = CreateSolidBrush(view.pageColor);
    return view.pageColor;
}

void Win32Adapter::SyncShown(View& view, Binding& binding) {
    if (binding.hwnd == nullptr) {
        if (!ui::ShownOnScreen(*binding.control)) return;
        MakeShown(view);
        if (binding.hwnd == nullptr) return;
    }
    const Control& c = *binding.control;
    const bool shown = ui::ShownOnScreen(c);
    const bool enabled = ui::EnabledOnScreen(c);
    if ((IsWindowEnabled(binding.hwnd) != FALSE) != enabled) {
        EnableWindow(binding.hwnd, enabled);
        // The tab control draws its captions itself, greyed while disabled.
        if (c.kind() == Kind::Tabs) InvalidateRect(binding.hwnd, nullptr, TRUE);
        SyncItems(binding);
    }
    if (((GetWindowLongA(binding.hwnd, GWL_STYLE) & WS_VISIBLE) != 0) != shown) {
        if (!shown && GetFocus() == binding.hwnd) {
            // Focus must not stay on a control that disappears (a tab page being left).
            const ui::SyncGuard guard(syncing_);
            SetFocus(view.hwnd);
        }
        if (shown) SyncPicture(binding);
        ShowWindow(binding.hwnd, shown ? SW_SHOWNA : SW_HIDE);
    }
}

void Win32Adapter::SyncShownAll(View& view) {
    MakeShown(view);
    for (Binding& binding : view.bindings) SyncShown(view, binding);
}

void Win32Adapter::SyncView(View& view) {
    for (Binding& binding : view.bindings) Sync(view, binding);
    SyncShownAll(view);
}

// The window itself: shown (placed the first time), hidden, enabled or disabled.
void Win32Adapter::ApplyForm(View& view) {
    const ui::Form& form = *view.form;
    const bool shown = (GetWindowLongA(view.hwnd, GWL_STYLE) & WS_VISIBLE) != 0;
    if (form.visible() && !shown) {
        if (!view.placed) {
            Place(view);
            view.placed = true;
        }
        ShowWindow(view.hwnd, SW_SHOWNORMAL);
    } else if (!form.visible() && shown) {
        ShowWindow(view.hwnd, SW_HIDE);
    }
    if ((IsWindowEnabled(view.hwnd) != FALSE) != form.enabled()) {
        EnableWindow(view.hwnd, form.enabled());
    }
}

// Centred over its owner, or on the work area, and kept within the work area.
ui::ScreenBox Win32Adapter::CentredPlace(const ui::Form& form, int width, int height) const {
    RECT area;
    if (!SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0)) {
        area = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    }
    RECT around = area;
    if (View* owner = ViewOf(ui::CentringOwner(form))) GetWindowRect(owner->hwnd, &around);
    return ui::Centred(width, height, Box(around), Box(area));
}

// A window is made where it will first show; it is moved only when its size or its owner's
// place changed in between, as moving it was a round trip to the X server under Wine.
void Win32Adapter::Place(View& view) {
    RECT r;
    GetWindowRect(view.hwnd, &r);
    const ui::ScreenBox place = CentredPlace(*view.form, r.right - r.left, r.bottom - r.top);
    if (place.left == r.left && place.top == r.top) return;
    SetWindowPos(view.hwnd, nullptr, place.left, place.top, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace gui
