// Creating a form's window and one native control per control of the form.
#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "gui/win32/win32_adapter.h"
#include "gui/win32/win32_view.h"
#include "ui/screen.h"

namespace gui {

using ui::Control;
using ui::Kind;

namespace {

// What CreateWindowExA is given for one control, before its place.
struct Native {
    const char* cls = "STATIC";
    DWORD style = WS_CHILD;
    DWORD exStyle = 0;
    std::string text;
    int extraHeight = 0;  // below its place: the dropped list of a combo box
};

Native Make(const char* cls, DWORD style, DWORD exStyle = 0, std::string text = {},
            int extraHeight = 0) {
    Native n;
    n.cls = cls;
    n.style = style;
    n.exStyle = exStyle;
    n.text = std::move(text);
    n.extraHeight = extraHeight;
    return n;
}

// A text box tall enough for more than one line wraps its text.
bool Multiline(const Control& c) {
    return c.place.height >= 600;
}

Native Button(const Control& c) {
    Native n = Make("BUTTON", WS_TABSTOP | (c.isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON), 0,
                    c.caption());
    if (c.caption().find('\n') != std::string::npos) n.style |= BS_MULTILINE;
    return n;
}

Native CheckBox(const Control& c) {
    return Make("BUTTON", WS_TABSTOP | BS_CHECKBOX | BS_MULTILINE, 0, c.caption());
}

// Only the first of a run of options takes the tab key; arrows move within the run.
Native Option(const Control& c, bool first) {
    return Make("BUTTON", BS_RADIOBUTTON | BS_MULTILINE | (first ? WS_TABSTOP : 0), 0, c.caption());
}

Native List(int droppedHeight) {
    return Make("COMBOBOX", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, 0, "", droppedHeight);
}

Native ScrollBar(const Control& c) {
    return Make("SCROLLBAR", WS_TABSTOP | (c.place.height > c.place.width ? SBS_VERT : SBS_HORZ));
}

Native Slider(const Control& c) {
    // Ticks on both sides of the channel, as the FLTK track bar draws them.
    return Make(TRACKBAR_CLASSA, WS_TABSTOP | TBS_AUTOTICKS | TBS_BOTH |
                                     (c.place.height > c.place.width ? TBS_VERT : TBS_HORZ));
}

// A label over a picture lets the picture show through.
Native Label(const Control& c, bool overPicture) {
    Native n = Make("STATIC", SS_LEFT, 0, c.caption());
    if (!c.tooltip.empty()) n.style |= SS_NOTIFY;
    if (overPicture) n.exStyle |= WS_EX_TRANSPARENT;
    return n;
}

Native TextBox(const Control& c) {
    Native n = Make("EDIT", WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, win32::ToEdit(c.text()));
    if (Multiline(c)) n.style |= ES_MULTILINE | ES_AUTOVSCROLL | WS_VSCROLL;
    if (c.readOnly) n.style |= ES_READONLY;
    return n;
}

Native Picture(const Control& c) {
    Native n = Make("STATIC", SS_BITMAP | SS_CENTERIMAGE);
    if (!c.tooltip.empty()) n.style |= SS_NOTIFY;
    return n;
}

// Drawn after the controls beneath it, so its inside shows them.
Native Frame(const Control& c) {
    return Make("BUTTON", BS_GROUPBOX, WS_EX_TRANSPARENT, c.caption());
}

// Its captions are drawn here (win32_dispatch.cpp), so that they grey while it is disabled.
Native Tabs() {
    return Make(WC_TABCONTROLA, WS_TABSTOP | WS_CLIPSIBLINGS | TCS_OWNERDRAWFIXED);
}

Native IconList() {
    return Make(WC_LISTVIEWA,
                WS_TABSTOP | LVS_ICON | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_AUTOARRANGE,
                WS_EX_CLIENTEDGE);
}

// Arrow keys move within a run of option buttons of one name; everything else starts a
// group of its own.
bool StartsGroup(const std::vector<Win32Adapter::Binding>& bindings, std::size_t at) {
    const Control& c = *bindings[at].control;
    if (c.kind() != Kind::Option || at == 0) return true;
    const Control& before = *bindings[at - 1].control;
    return !(before.kind() == Kind::Option && before.name() == c.name());
}

// Settings a native control takes once it exists: ranges, steps and an image list.
void SetUp(Win32Adapter::Binding& binding) {
    const Control& c = *binding.control;
    HWND h = binding.hwnd;
    switch (c.kind()) {
        case Kind::ScrollBar:
            SetScrollRange(h, SB_CTL, c.min, c.max, FALSE);
            break;
        case Kind::Slider:
            SendMessageA(h, TBM_SETRANGEMIN, FALSE, c.min);
            SendMessageA(h, TBM_SETRANGEMAX, FALSE, c.max);
            SendMessageA(h, TBM_SETLINESIZE, 0, std::max(c.smallChange, 1));
            SendMessageA(h, TBM_SETPAGESIZE, 0, std::max(c.largeChange, 1));
            if (c.tickEvery > 0) SendMessageA(h, TBM_SETTICFREQ, c.tickEvery, 0);
            break;
        case Kind::IconList: {
            const int size = GetSystemMetrics(SM_CXICON);
            // Empty: it gives the icons their size; they are drawn from a strip of their own.
            binding.images = ImageList_Create(size, size, ILC_COLOR, 0, 1);
            SendMessageA(h, LVM_SETIMAGELIST, LVSIL_NORMAL,
                         reinterpret_cast<LPARAM>(binding.images));
            break;
        }
        default:
            break;
    }
}

int Depth(const Control& c) {
    int depth = 0;
    for (const Control* p = c.container; p != nullptr; p = p->container) ++depth;
    return depth;
}

bool LiesUnder(const Control& c) {
    return c.kind() == Kind::Picture || c.kind() == Kind::Frame || c.kind() == Kind::Tabs;
}

// Z order: pictures, frames and the tab control lie under the controls they hold, deepest
// frames nearest the controls; the tab order of the rest stays their order in the form.
void StackUnder(std::vector<Win32Adapter::Binding>& bindings) {
    using Binding = Win32Adapter::Binding;
    auto of = [&bindings](Kind kind) {
        std::vector<Binding*> found;
        for (Binding& b : bindings) {
            if (b.control->kind() == kind) found.push_back(&b);
        }
        return found;
    };
    std::vector<Binding*> under = of(Kind::Picture);
    std::vector<Binding*> frames = of(Kind::Frame);
    std::stable_sort(frames.begin(), frames.end(), [](Binding* a, Binding* b) {
        return Depth(*a->control) > Depth(*b->control);
    });
    under.insert(under.end(), frames.begin(), frames.end());
    for (Binding* tabs : of(Kind::Tabs)) under.push_back(tabs);
    for (Binding* b : under) {
        if (b->hwnd != nullptr) {
            SetWindowPos(b->hwnd, HWND_BOTTOM, 0, 0, 0, 0,
                         SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        }
    }
}

}  // namespace

void Win32Adapter::Build(ui::Form& form) {
    auto view = std::make_unique<View>();
    view->adapter = this;
    view->form = &form;
    const bool main = app_.Forms().empty() || app_.Forms().front() == &form;
    DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPSIBLINGS;
    DWORD exStyle = WS_EX_CONTROLPARENT;
    // The main window and any other of a fixed single border have neither a minimize nor a
    // maximize box; the others get a dialog's frame.
    if (!main && !form.singleBorder) exStyle |= WS_EX_DLGMODALFRAME;
    if (form.resizable) style |= WS_THICKFRAME | WS_MAXIMIZEBOX;
    RECT r = {0, 0, Px(form.width()), Py(form.height())};
    AdjustWindowRectEx(&r, style, FALSE, exStyle);
    const ui::ScreenBox place = CentredPlace(form, r.right - r.left, r.bottom - r.top);
    HWND hwnd =
        CreateWindowExA(exStyle, kFormClass, form.caption().c_str(), style, place.left, place.top,
                        place.width, place.height, nullptr, nullptr, instance_, nullptr);
    if (hwnd == nullptr) return;
    view->hwnd = hwnd;
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(view.get()));
    if (main || form.singleBorder) {
        // The main window and any other of its single border show the program's icon in the
        // title bar, given to the window itself so that no frame style hides it. The large
        // one (task switching) is the class's: setting it again cost Wine a new X icon.
        SendMessageA(hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_));
    } else {
        // Dialog windows carry no icon of their own in the title bar.
        SendMessageA(hwnd, WM_SETICON, ICON_SMALL, 0);
    }

    for (const auto& control : form.controls()) {
        Binding binding;
        binding.control = control.get();
        view->bindings.push_back(binding);
    }
    // The controls get their windows when the form is first shown, after its load.
    views_[&form] = std::move(view);
}

namespace {

// The controls that need a window and have none: those shown, and those the shown ones are
// lined up against (and theirs in turn), so that every line-up finds its partner.
std::vector<bool> Wanted(const std::vector<Win32Adapter::Binding>& bindings) {
    std::vector<bool> wanted(bindings.size(), false);
    std::vector<const Control*> partners;
    auto want = [&](std::size_t i) {
        const Control& c = *bindings[i].control;
        wanted[i] = true;
        partners.insert(partners.end(), {c.lineUpWith, c.follows, c.under});
    };
    for (std::size_t i = 0; i < bindings.size(); ++i) {
        if (bindings[i].hwnd == nullptr && ui::ShownOnScreen(*bindings[i].control)) want(i);
    }
    while (!partners.empty()) {
        const Control* partner = partners.back();
        partners.pop_back();
        for (std::size_t i = 0; partner != nullptr && i < bindings.size(); ++i) {
            if (bindings[i].control != partner) continue;
            if (bindings[i].hwnd == nullptr && !wanted[i]) want(i);
            break;
        }
    }
    return wanted;
}

}  // namespace

// A control gets its window the first time it is shown, as a property sheet makes a page
// when it is first chosen: made all at once, the controls of pages and states never looked
// at were most of the time a window took to open. Nothing is made before the form is first
// shown, so that its load sets the model alone. One made late is stacked right after the
// one before it in the form's order, where making them all at once would have put it.
void Win32Adapter::MakeShown(View& view) {
    if (!view.form->visible()) return;
    const std::vector<bool> wanted = Wanted(view.bindings);
    // A new window goes below its siblings: where no control after it in the form's order has
    // a window yet, that is already its place (the ones that lie under are put back below).
    std::size_t inPlaceFrom = 0;
    for (std::size_t i = 0; i < view.bindings.size(); ++i) {
        const Binding& binding = view.bindings[i];
        if (binding.hwnd != nullptr && !LiesUnder(*binding.control)) inPlaceFrom = i + 1;
    }
    std::vector<Binding*> made;
    HWND above = HWND_TOP;
    for (std::size_t i = 0; i < view.bindings.size(); ++i) {
        Binding& binding = view.bindings[i];
        if (wanted[i]) {
            CreateBinding(view, binding);
            if (binding.hwnd == nullptr) continue;
            made.push_back(&binding);
            if (i < inPlaceFrom && !LiesUnder(*binding.control)) {
                SetWindowPos(binding.hwnd, above, 0, 0, 0, 0,
                             SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
            }
        }
        if (binding.hwnd != nullptr && !LiesUnder(*binding.control)) above = binding.hwnd;
    }
    if (made.empty()) return;
    StackUnder(view.bindings);
    for (Binding* binding : made) Sync(view, *binding);
    Arrange(view);
}

void Win32Adapter::CreateBinding(View& view, Binding& binding) {
    const Control& c = *binding.control;
    const std::size_t at = static_cast<std::size_t>(&binding - view.bindings.data());
    const bool group = StartsGroup(view.bindings, at);
    Native n;
    switch (c.kind()) {
        case Kind::Button:
            n = Button(c);
            break;
        case Kind::CheckBox:
            n = CheckBox(c);
            break;
        case Kind::Option:
            n = Option(c, group);
            break;
        case Kind::List:
            n = List(Py(2400));
            break;
        case Kind::ScrollBar:
            n = ScrollBar(c);
            break;
        case Kind::Slider:
            n = Slider(c);
            break;
        case Kind::Label:
            binding.transparent = OverPicture(c);
            n = Label(c, binding.transparent);
            break;
        case Kind::TextBox:
            n = TextBox(c);
            break;
        case Kind::Picture:
            n = Picture(c);
            break;
        case Kind::Frame:
            n = Frame(c);
            break;
        case Kind::Tabs:
            n = Tabs();
            break;
        case Kind::IconList:
            n = IconList();
            break;
    }
    n.style |= WS_CHILD | (group ? WS_GROUP : 0);
    // Made visible at once: showing each one afterwards cost a round trip apiece.
    if (ui::ShownOnScreen(c)) n.style |= WS_VISIBLE;

    const RECT r = Rect(c);
    binding.hwnd = CreateWindowExA(
        n.exStyle, n.cls, n.text.c_str(), n.style, r.left, r.top, r.right - r.left,
        r.bottom - r.top + n.extraHeight, view.hwnd,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(view.IdOf(binding))), instance_, nullptr);
    if (binding.hwnd == nullptr) return;
    SendMessageA(binding.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(FontFor(binding)), FALSE);
    SetUp(binding);
    SyncItems(binding);
    SyncPicture(binding);
    AddTooltip(view, binding);
}

// The dialog font, or one of the control's own when it names a face or a size.
HFONT Win32Adapter::FontFor(Binding& binding) {
    const ui::Font& font = binding.control->font;
    if (font.face.empty() && font.points <= 0) return dialogFont_;
    LOGFONTA lf;
    GetObjectA(dialogFont_, sizeof lf, &lf);
    if (!font.face.empty()) {
        std::strncpy(lf.lfFaceName, font.face.c_str(), LF_FACESIZE - 1);
        lf.lfFaceName[LF_FACESIZE - 1] = '\0';
    }
    if (font.points > 0) {
        lf.lfHeight = -MulDiv(static_cast<int>(font.points * 100 + 0.5), dpiY_, 7200);
    }
    binding.font = CreateFontIndirectA(&lf);
    return binding.font != nullptr ? binding.font : dialogFont_;
}

// The tooltip window is a top-level window of its own, as dear to make as a dozen controls:
// it is made, with the tips of the controls made so far, when the mouse first comes over the
// window (WM_SETCURSOR), before any tip could be wanted.
void Win32Adapter::MakeTooltip(View& view) {
    if (view.tooltip != nullptr) return;
    view.tooltip =
        CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr,
                        WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                        CW_USEDEFAULT, CW_USEDEFAULT, view.hwnd, nullptr, instance_, nullptr);
    if (view.tooltip == nullptr) return;
    SendMessageA(view.tooltip, TTM_SETMAXTIPWIDTH, 0, 320);
    for (const Binding& binding : view.bindings) {
        if (binding.hwnd != nullptr) AddTooltip(view, binding);
    }
}

void Win32Adapter::AddTooltip(View& view, const Binding& binding) {
    const Control& c = *binding.control;
    if (c.tooltip.empty() || view.tooltip == nullptr) return;
    TTTOOLINFOA tool;
    std::memset(&tool, 0, sizeof tool);
    tool.cbSize = TTTOOLINFOA_V2_SIZE;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = view.hwnd;
    tool.uId = reinterpret_cast<UINT_PTR>(binding.hwnd);
    tool.lpszText = const_cast<char*>(c.tooltip.c_str());
    SendMessageA(view.tooltip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
}

bool Win32Adapter::OverPicture(const Control& label) const {
    const RECT r = Rect(label);
    for (const auto& other : label.form().controls()) {
        if (other->kind() != Kind::Picture || other->tab != label.tab) continue;
        const RECT p = Rect(*other);
        RECT overlap;
        if (IntersectRect(&overlap, &p, &r)) return true;
    }
    return false;
}

}  // namespace gui
