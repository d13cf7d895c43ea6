// The user's messages: the window procedure turns them into the model's events, and the loop
// hands them out as a dialog does.
#include <algorithm>

#include "gui/win32/win32_adapter.h"
#include "gui/win32/win32_view.h"
#include "ui/keyboard.h"
#include "ui/sync_guard.h"

namespace gui {

using ui::Control;
using ui::Kind;

template <class F>
void Win32Adapter::Event(F&& f) {
    ++depth_;
    f();
    --depth_;
    if (depth_ == 0) {
        app_.Collect();
        graveyard_.clear();
    }
}

LRESULT CALLBACK Win32Adapter::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* view = reinterpret_cast<View*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (view == nullptr || view->form == nullptr) {
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
    return view->adapter->Handle(*view, message, wParam, lParam);
}

LRESULT Win32Adapter::Handle(View& view, UINT message, WPARAM wParam, LPARAM lParam) {
    HWND hwnd = view.hwnd;  // the view may be gone once an event has run
    switch (message) {
        case WM_COMMAND:
            if (Command(view, LOWORD(wParam), HIWORD(wParam))) return 0;
            break;
        case WM_NOTIFY:
            if (lParam == 0) break;
            if (reinterpret_cast<const NMHDR*>(lParam)->code == static_cast<UINT>(NM_CUSTOMDRAW)) {
                return DrawIcons(view, *reinterpret_cast<const NMLVCUSTOMDRAW*>(lParam));
            }
            if (Notify(view, *reinterpret_cast<const NMHDR*>(lParam))) return 0;
            break;
        case WM_HSCROLL:
        case WM_VSCROLL:
            if (lParam != 0) {
                Scroll(view, reinterpret_cast<HWND>(lParam), LOWORD(wParam),
                       static_cast<short>(HIWORD(wParam)));
                return 0;
            }
            break;
        case WM_MOUSEWHEEL:
            if (Wheel(view, static_cast<short>(HIWORD(wParam)),
                      {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))})) {
                return 0;
            }
            break;
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN: {
            LRESULT brush = 0;
            if (ColorStatic(view, reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam),
                            brush)) {
                return brush;
            }
            break;
        }
        case WM_DRAWITEM: {
            const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
            if (item != nullptr && item->CtlType == ODT_TAB) {
                DrawTab(*item);
                return TRUE;
            }
            break;
        }
        case DM_GETDEFID:
            for (const Binding& b : view.bindings) {
                const Control& c = *b.control;
                if (c.isDefault && c.kind() == Kind::Button && c.Usable()) {
                    return MAKELRESULT(view.IdOf(b), DC_HASDEFID);
                }
            }
            return 0;
        case WM_ACTIVATE:
            if (LOWORD(wParam) != WA_INACTIVE) {
                Activate(view, true);
                return 0;
            }
            Activate(view, false);
            break;
        case WM_SETCURSOR:
            MakeTooltip(view);
            break;
        case WM_CLOSE: {
            ui::Form* form = view.form;
            Event([form] { form->RequestClose(); });
            return 0;
        }
        default:
            break;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

// Text and background of static controls and buttons: a label's own colour, see-through
// labels over pictures, and the page colour on the tab control's pages.
bool Win32Adapter::ColorStatic(View& view, HDC dc, HWND child, LRESULT& brush) {
    for (Binding& b : view.bindings) {
        if (b.hwnd != child) continue;
        const Control& c = *b.control;
        if (c.kind() == Kind::TextBox) return false;
        if (c.color.set) SetTextColor(dc, RGB(c.color.r, c.color.g, c.color.b));
        if (b.transparent) {
            SetBkMode(dc, TRANSPARENT);
            brush = reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH));
            return true;
        }
        if (c.tab >= 0 && PageColor(view) != GetSysColor(COLOR_BTNFACE) &&
            view.pageBrush != nullptr) {
            SetBkColor(dc, view.pageColor);
            brush = reinterpret_cast<LRESULT>(view.pageBrush);
            return true;
        }
        SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
        brush = reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
        return true;
    }
    return false;
}

// A tab's caption, centred in its header; grey while the tab control is disabled.
void Win32Adapter::DrawTab(const DRAWITEMSTRUCT& item) {
    char text[128] = {};
    TCITEMA tab = {};
    tab.mask = TCIF_TEXT;
    tab.pszText = text;
    tab.cchTextMax = sizeof text;
    SendMessageA(item.hwndItem, TCM_GETITEMA, item.itemID, reinterpret_cast<LPARAM>(&tab));
    HDC dc = item.hDC;
    HGDIOBJ old =
        SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(item.hwndItem, WM_GETFONT, 0, 0)));
    const bool enabled = IsWindowEnabled(item.hwndItem) != FALSE;
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(enabled ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
    RECT r = item.rcItem;
    DrawTextA(dc, text, -1, &r, DT_SINGLELINE | DT_CENTER | DT_VCENTER);
    SelectObject(dc, old);
}

// The focus leaves with the window and comes back to the same control.
void Win32Adapter::Activate(View& view, bool active) {
    HWND hwnd = view.hwnd;
    if (!active) {
        HWND focus = GetFocus();
        if (focus != nullptr && IsChild(hwnd, focus)) view.focus = focus;
        return;
    }
    HWND focus = view.focus;
    if (focus == nullptr || !IsWindowVisible(focus) || !IsWindowEnabled(focus)) {
        // A dialog opens on its default button, as a dialog box does; else the first control.
        focus = nullptr;
        const bool main = !app_.Forms().empty() && app_.Forms().front() == view.form;
        for (const Binding& b : view.bindings) {
            const Control& c = *b.control;
            if (!main && c.isDefault && c.kind() == Kind::Button && b.hwnd != nullptr &&
                IsWindowVisible(b.hwnd) && IsWindowEnabled(b.hwnd)) {
                focus = b.hwnd;
            }
        }
        if (focus == nullptr) focus = GetNextDlgTabItem(hwnd, nullptr, FALSE);
    }
    if (focus == nullptr) return;
    // An option button that takes the focus reports a click; giving the focus back on
    // activation is not the user's choice of option.
    const ui::SyncGuard guard(syncing_);
    SetFocus(focus);
}

bool Win32Adapter::Command(View& view, int id, int code) {
    if (syncing_) return true;
    if (id == IDCANCEL) {
        // Escape: the cancel button when the window has one, else as the close box; nothing
        // in the main window.
        ui::Form* form = view.form;
        Event([form] { ui::PressEscape(*form); });
        return true;
    }
    Binding* binding = view.WithId(id);
    if (binding == nullptr) return false;
    Control* c = binding->control;
    // A control the user cannot reach in the model takes no action, whatever the message.
    if (!c->Usable()) return true;
    HWND h = binding->hwnd;
    switch (c->kind()) {
        case Kind::Button:
            if (code == BN_CLICKED) Event([c] { c->Click(); });
            return true;
        case Kind::CheckBox:
            if (code == BN_CLICKED) Event([c] { c->SetValue(c->value() ? 0 : 1); });
            return true;
        case Kind::Option:
            if (code == BN_CLICKED) Event([c] { c->SetValue(1); });
            return true;
        case Kind::List:
            if (code == CBN_SELCHANGE) {
                const int selected = static_cast<int>(SendMessageA(h, CB_GETCURSEL, 0, 0));
                const ui::Form* form = view.form;
                Event([c, selected] { c->SetValue(selected); });
                // A list may refuse the entry (none picked): show the model's choice again.
                if (View* still = ViewOf(form)) Sync(*still, *still->WithId(id));
            }
            return true;
        case Kind::TextBox:
            if (code == EN_CHANGE && !c->readOnly) {
                const std::string text = win32::FromEdit(win32::WindowText(h));
                Event([c, text] { c->SetText(text); });
            }
            return true;
        default:
            return false;
    }
}

namespace {

// Wine's tab control marks a header pressed when it is clicked but not when the arrows leave
// it, and takes a later click on a header so marked for a multiple selection, which changes
// no page: no header but the page shown stays marked. Windows ignores the mark without
// TCS_BUTTONS.
void UnpressOtherTabs(HWND tabs, int page) {
    const int count = static_cast<int>(SendMessageA(tabs, TCM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        if (i == page) continue;
        TCITEMA item = {};
        item.mask = TCIF_STATE;
        item.dwStateMask = TCIS_BUTTONPRESSED;
        SendMessageA(tabs, TCM_SETITEMA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
    }
}

}  // namespace

// An icon list's icons, each copied from the strip its entries were filled with (win32_sync.cpp)
// after the list has drawn the entry: the selected look while the list has the focus, as the
// list draws its own.
LRESULT Win32Adapter::DrawIcons(View& view, const NMLVCUSTOMDRAW& draw) {
    const Binding* binding = view.WithId(static_cast<int>(draw.nmcd.hdr.idFrom));
    if (binding == nullptr || binding->control->kind() != Kind::IconList ||
        binding->bitmap == nullptr) {
        return CDRF_DODEFAULT;
    }
    switch (draw.nmcd.dwDrawStage) {
        case CDDS_PREPAINT:
            return CDRF_NOTIFYITEMDRAW;
        case CDDS_ITEMPREPAINT:
            return CDRF_NOTIFYPOSTPAINT;
        case CDDS_ITEMPOSTPAINT:
            break;
        default:
            return CDRF_DODEFAULT;
    }
    HWND h = draw.nmcd.hdr.hwndFrom;
    const int item = static_cast<int>(draw.nmcd.dwItemSpec);
    if (item < 0 || item >= static_cast<int>(binding->items.size())) return CDRF_DODEFAULT;
    RECT place = {};
    place.left = LVIR_ICON;
    if (!SendMessageA(h, LVM_GETITEMRECT, static_cast<WPARAM>(item),
                      reinterpret_cast<LPARAM>(&place))) {
        return CDRF_DODEFAULT;
    }
    const int size = GetSystemMetrics(SM_CXICON);
    const bool selected =
        GetFocus() == h &&
        SendMessageA(h, LVM_GETITEMSTATE, static_cast<WPARAM>(item), LVIS_SELECTED) != 0;
    HDC strip = CreateCompatibleDC(draw.nmcd.hdc);
    if (strip == nullptr) return CDRF_DODEFAULT;
    HGDIOBJ old = SelectObject(strip, binding->bitmap);
    BitBlt(draw.nmcd.hdc, place.left + (place.right - place.left - size) / 2,
           place.top + (place.bottom - place.top - size) / 2, size, size, strip, item * size,
           selected ? size : 0, SRCCOPY);
    SelectObject(strip, old);
    DeleteDC(strip);
    return CDRF_DODEFAULT;
}

bool Win32Adapter::Notify(View& view, const NMHDR& header) {
    if (syncing_) return false;
    Binding* binding = view.WithId(static_cast<int>(header.idFrom));
    if (binding == nullptr) return false;
    Control* c = binding->control;
    HWND h = binding->hwnd;
    if (c->kind() == Kind::Tabs && header.code == static_cast<UINT>(TCN_SELCHANGE)) {
        const int page = static_cast<int>(SendMessageA(h, TCM_GETCURSEL, 0, 0));
        UnpressOtherTabs(h, page);
        Event([c, page] { c->SetValue(page); });
        return true;
    }
    if (c->kind() != Kind::IconList || !c->Usable()) return false;
    if (header.code == static_cast<UINT>(LVN_ITEMCHANGED)) {
        const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
        if ((change.uChanged & LVIF_STATE) == 0) return false;
        const bool was = (change.uOldState & LVIS_SELECTED) != 0;
        const bool is = (change.uNewState & LVIS_SELECTED) != 0;
        if (is && !was) {
            const int item = change.iItem;
            Event([c, item] { c->SetValue(item); });
        } else if (was && !is &&
                   SendMessageA(h, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED) < 0) {
            Event([c] { c->SetValue(-1); });
        }
        return true;
    }
    if (header.code == static_cast<UINT>(LVN_ITEMACTIVATE)) {
        const auto& activate = reinterpret_cast<const NMITEMACTIVATE&>(header);
        int item = activate.iItem;
        if (item < 0) {
            item = static_cast<int>(
                SendMessageA(h, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
        }
        if (item >= 0) {
            Event([c, item] {
                c->SetValue(item);
                c->DblClick();
            });
        }
        return true;
    }
    return false;
}

namespace {

// Where a scroll bar's thumb goes for a scroll code, within the control's range.
int ScrolledTo(const Control& c, int now, int code, int position) {
    int value = now;
    switch (code) {
        case SB_LINELEFT:
            value -= c.smallChange;
            break;
        case SB_LINERIGHT:
            value += c.smallChange;
            break;
        case SB_PAGELEFT:
            value -= c.largeChange;
            break;
        case SB_PAGERIGHT:
            value += c.largeChange;
            break;
        case SB_LEFT:
            value = c.min;
            break;
        case SB_RIGHT:
            value = c.max;
            break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION:
            value = position;
            break;
        default:
            break;
    }
    return std::max(c.min, std::min(c.max, value));
}

}  // namespace

void Win32Adapter::Scroll(View& view, HWND bar, int code, int position) {
    if (syncing_) return;
    Binding* binding = nullptr;
    for (Binding& b : view.bindings) {
        if (b.hwnd == bar) binding = &b;
    }
    if (binding == nullptr) return;
    Control* c = binding->control;
    if (!c->Usable()) return;
    if (c->kind() == Kind::Slider) {
        // The track bar moves itself; dragging reports once the thumb is let go.
        if (code == TB_THUMBTRACK) return;
        const int value = static_cast<int>(SendMessageA(bar, TBM_GETPOS, 0, 0));
        Event([c, value] { c->SetValue(value); });
        return;
    }
    if (c->kind() != Kind::ScrollBar) return;
    const int value = ScrolledTo(*c, GetScrollPos(bar, SB_CTL), code, position);
    if (value != GetScrollPos(bar, SB_CTL)) SetScrollPos(bar, SB_CTL, value, TRUE);
    // The bar reports each step of a click or key at once, and a drag when the thumb is let
    // go: the number beside it and the registry follow what it shows even where no SB_ENDSCROLL
    // comes after a key (Wine's scroll bar sends none). A bar the user clicked takes the focus,
    // as the tab key's stop it is, so its keys work next.
    if (code != SB_THUMBTRACK) {
        if (GetFocus() != bar && (GetWindowLongA(bar, GWL_STYLE) & WS_TABSTOP)) SetFocus(bar);
        const ui::Form* form = view.form;
        const int id = view.IdOf(*binding);
        Event([c, value] { c->SetValue(value); });
        if (View* still = ViewOf(form)) Sync(*still, *still->WithId(id));
    }
}

// The wheel over a level bar moves it by its small change a notch, toward the right end for a
// turn toward the user, and reports at once, as a click on an arrow does: the bar, its number
// and the registry agree. The scroll bar control has no wheel of its own.
bool Win32Adapter::Wheel(View& view, int delta, POINT screen) {
    for (const Binding& b : view.bindings) {
        if (b.control->kind() != Kind::ScrollBar || b.hwnd == nullptr) continue;
        RECT r;
        if (!IsWindowVisible(b.hwnd) || !GetWindowRect(b.hwnd, &r) || screen.x < r.left ||
            screen.x >= r.right || screen.y < r.top || screen.y >= r.bottom) {
            continue;
        }
        HWND bar = b.hwnd;
        const int notches = delta / WHEEL_DELTA;
        for (int i = 0; i < (notches < 0 ? -notches : notches); ++i) {
            Scroll(view, bar, notches < 0 ? SB_LINERIGHT : SB_LINELEFT, 0);
        }
        if (notches != 0) Scroll(view, bar, SB_ENDSCROLL, 0);
        return true;
    }
    return false;
}

// Tab and Shift+Tab move to the next stop in the window's reading order; the dialog manager
// would follow the order the controls were made in. Ctrl or Alt with Tab is left to it.
bool Win32Adapter::TabKey(HWND root) {
    if ((GetKeyState(VK_CONTROL) & 0x8000) || (GetKeyState(VK_MENU) & 0x8000)) return false;
    View* view = nullptr;
    for (const auto& [form, v] : views_) {
        if (v->hwnd == root) view = v.get();
    }
    if (view == nullptr) return false;
    HWND focus = GetFocus();
    const ui::Control* from = nullptr;
    for (const Binding& b : view->bindings) {
        if (b.hwnd != nullptr && (b.hwnd == focus || IsChild(b.hwnd, focus))) from = b.control;
    }
    const ui::Control* to =
        ui::NextTabStop(*view->form, from, (GetKeyState(VK_SHIFT) & 0x8000) != 0);
    for (const Binding& b : view->bindings) {
        if (b.control != to || b.hwnd == nullptr) continue;
        SetFocus(b.hwnd);
        if (to->kind() == Kind::TextBox) SendMessageA(b.hwnd, EM_SETSEL, 0, -1);
        return true;
    }
    return to == nullptr;
}

// An arrow on an option chooses the next option of its group in reading order, as a click on
// it would, in every adapter; the dialog manager knows no groups the form does not mark.
bool Win32Adapter::OptionArrow(HWND root, WPARAM key) {
    if (key != VK_LEFT && key != VK_RIGHT && key != VK_UP && key != VK_DOWN) return false;
    View* view = nullptr;
    for (const auto& [form, v] : views_) {
        if (v->hwnd == root) view = v.get();
    }
    if (view == nullptr) return false;
    HWND focus = GetFocus();
    ui::Control* from = nullptr;
    for (const Binding& b : view->bindings) {
        if (b.hwnd != nullptr && b.hwnd == focus) from = b.control;
    }
    if (from == nullptr || from->kind() != Kind::Option) return false;
    ui::Control* to = ui::NextOption(*from, key == VK_LEFT || key == VK_UP);
    if (to == nullptr) return true;
    for (const Binding& b : view->bindings) {
        if (b.control != to || b.hwnd == nullptr) continue;
        {
            // The focus alone is no choice: the choice is made below, once.
            const ui::SyncGuard guard(syncing_);
            SetFocus(b.hwnd);
        }
        Event([to] { to->SetValue(1); });
        break;
    }
    return true;
}

// Enter on a push button that has the focus presses it, as in a dialog box, where the focused
// button becomes the default, and as in every adapter; the dialog manager would press the
// window's default button instead, or nothing in a window without one.
bool Win32Adapter::EnterKey(HWND root) {
    if ((GetKeyState(VK_CONTROL) & 0x8000) || (GetKeyState(VK_MENU) & 0x8000) ||
        (GetKeyState(VK_SHIFT) & 0x8000)) {
        return false;
    }
    View* view = nullptr;
    for (const auto& [form, v] : views_) {
        if (v->hwnd == root) view = v.get();
    }
    if (view == nullptr) return false;
    HWND focus = GetFocus();
    for (const Binding& b : view->bindings) {
        if (b.hwnd == nullptr || b.hwnd != focus || b.control->kind() != Kind::Button) continue;
        SendMessageA(root, WM_COMMAND, MAKEWPARAM(view->IdOf(b), BN_CLICKED),
                     reinterpret_cast<LPARAM>(focus));
        return true;
    }
    return false;
}

int Win32Adapter::Run() {
    MSG msg;
    while (!app_.Ended()) {
        const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
        if (got == 0 || got == -1) break;
        HWND root = msg.hwnd != nullptr ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
        bool ours = false;
        for (const auto& [form, view] : views_) ours = ours || view->hwnd == root;
        // Tab in reading order, as in every adapter; arrow keys, mnemonics, Enter and Escape as
        // in a dialog.
        if (ours && msg.message == WM_KEYDOWN && msg.wParam == VK_TAB && TabKey(root)) continue;
        if (ours && msg.message == WM_KEYDOWN && OptionArrow(root, msg.wParam)) continue;
        if (ours && msg.message == WM_KEYDOWN && msg.wParam == VK_RETURN && EnterKey(root)) {
            continue;
        }
        if (ours && IsDialogMessageA(root, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}

}  // namespace gui
