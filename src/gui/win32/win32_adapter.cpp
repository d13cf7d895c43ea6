#include "gui/win32/win32_adapter.h"

#include <algorithm>
#include <cstring>

#include "platform/windows_api_win32.h"
#include "ui/pictures.h"

namespace gui {

using ui::Control;
using ui::Kind;

struct Win32Adapter::Widget {
    Control* control = nullptr;
    HWND hwnd = nullptr;
    HFONT font = nullptr;  // a font of its own, when the control names one
    HBITMAP bitmap = nullptr;
    HIMAGELIST images = nullptr;
    std::string picture;             // the picture the bitmap shows
    std::vector<std::string> items;  // the entries the widget holds
    bool transparent = false;        // a label drawn over a picture
};

struct Win32Adapter::Window {
    Win32Adapter* adapter = nullptr;
    ui::Form* form = nullptr;
    HWND hwnd = nullptr;
    HWND tooltip = nullptr;
    std::vector<Widget> widgets;  // in the form's control order
    bool placed = false;
    HWND focus = nullptr;  // restored when the window is activated again
    // The colour of the tab control's pages, which controls on them take as background.
    bool pageKnown = false;
    COLORREF pageColor = 0;
    HBRUSH pageBrush = nullptr;
};

namespace {

bool Has(const Control& c, Kind kind) {
    return c.kind() == kind;
}

// Twip geometry of the ancestors: a frame's children are relative to it, a tab page's to the
// tab control.
bool ShownInModel(const Control& c) {
    if (!c.visible()) return false;
    if (c.container != nullptr) return ShownInModel(*c.container);
    if (c.tab >= 0) {
        const Control* tabs = c.form().tabs();
        return tabs != nullptr && tabs->visible() && tabs->value() == c.tab;
    }
    return true;
}

bool EnabledInModel(const Control& c) {
    if (!c.enabled()) return false;
    if (c.container != nullptr) return EnabledInModel(*c.container);
    if (c.tab >= 0 && c.form().tabs() != nullptr) return c.form().tabs()->enabled();
    return true;
}

int Depth(const Control& c) {
    int depth = 0;
    for (const Control* p = c.container; p != nullptr; p = p->container) ++depth;
    return depth;
}

std::string WindowText(HWND hwnd) {
    const int length = GetWindowTextLengthA(hwnd);
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    const int got = GetWindowTextA(hwnd, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(std::max(got, 0)));
    return text;
}

// Edit controls break lines at CR LF; the model holds plain LF.
std::string ToEdit(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) out.push_back('\r');
        out.push_back(text[i]);
    }
    return out;
}

std::string FromEdit(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c != '\r') out.push_back(c);
    }
    return out;
}

bool Multiline(const Control& c) {
    return c.place.height >= 600;
}

// A top-down 32-bit DIB of the image laid over a background colour (the picture's alpha is
// blended here, so the static control needs no alpha support).
HBITMAP MakeBitmap(const ui::Image& image, COLORREF background) {
    BITMAPINFO info;
    std::memset(&info, 0, sizeof info);
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = image.width;
    info.bmiHeader.biHeight = -image.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap == nullptr || bits == nullptr) return bitmap;
    auto* out = static_cast<std::uint8_t*>(bits);
    const int br = GetRValue(background), bg = GetGValue(background), bb = GetBValue(background);
    const std::size_t pixels = static_cast<std::size_t>(image.width) * image.height;
    for (std::size_t i = 0; i < pixels; ++i) {
        const std::uint8_t* p = &image.rgba[i * 4];
        const int a = p[3];
        out[i * 4 + 0] = static_cast<std::uint8_t>((p[2] * a + bb * (255 - a)) / 255);
        out[i * 4 + 1] = static_cast<std::uint8_t>((p[1] * a + bg * (255 - a)) / 255);
        out[i * 4 + 2] = static_cast<std::uint8_t>((p[0] * a + br * (255 - a)) / 255);
        out[i * 4 + 3] = 0;
    }
    return bitmap;
}

// A monochrome mask: set where the image is transparent.
HBITMAP MakeMask(const ui::Image& image) {
    const int stride = ((image.width + 15) / 16) * 2;
    std::vector<std::uint8_t> bits(static_cast<std::size_t>(stride) * image.height, 0);
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            const std::size_t i = (static_cast<std::size_t>(y) * image.width + x) * 4;
            if (image.rgba[i + 3] < 128) {
                bits[static_cast<std::size_t>(y) * stride + x / 8] |=
                    static_cast<std::uint8_t>(0x80 >> (x % 8));
            }
        }
    }
    return CreateBitmap(image.width, image.height, 1, 1, bits.data());
}

HICON MakeIcon(const std::string& picture, int size) {
    const ui::Image image = ui::RenderPicture(picture, size, size);
    if (image.empty()) return nullptr;
    ICONINFO info;
    std::memset(&info, 0, sizeof info);
    info.fIcon = TRUE;
    info.hbmColor = MakeBitmap(image, RGB(0, 0, 0));
    info.hbmMask = MakeMask(image);
    HICON icon = info.hbmColor && info.hbmMask ? CreateIconIndirect(&info) : nullptr;
    if (info.hbmColor) DeleteObject(info.hbmColor);
    if (info.hbmMask) DeleteObject(info.hbmMask);
    return icon;
}

}  // namespace

Win32Adapter::Win32Adapter(ui::App& app, HINSTANCE instance) : app_(app), instance_(instance) {
    INITCOMMONCONTROLSEX controls;
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_TAB_CLASSES | ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES | ICC_WIN95_CLASSES;
    InitCommonControlsEx(&controls);

    HDC screen = GetDC(nullptr);
    if (screen != nullptr) {
        dpiX_ = GetDeviceCaps(screen, LOGPIXELSX);
        dpiY_ = GetDeviceCaps(screen, LOGPIXELSY);
        ReleaseDC(nullptr, screen);
    }
    if (dpiX_ <= 0) dpiX_ = 96;
    if (dpiY_ <= 0) dpiY_ = 96;

    // The dialog font of the desktop (Tahoma 8 on XP), else the stock GUI font.
    NONCLIENTMETRICSA metrics;
    std::memset(&metrics, 0, sizeof metrics);
    metrics.cbSize = sizeof metrics;
    if (SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
        dialogFont_ = CreateFontIndirectA(&metrics.lfMessageFont);
        ownFont_ = dialogFont_ != nullptr;
    }
    if (dialogFont_ == nullptr) dialogFont_ = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));

    bigIcon_ = MakeIcon("general", GetSystemMetrics(SM_CXICON));
    smallIcon_ = MakeIcon("general", GetSystemMetrics(SM_CXSMICON));

    WNDCLASSEXA wc;
    std::memset(&wc, 0, sizeof wc);
    wc.cbSize = sizeof wc;
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = &Win32Adapter::WindowProc;
    wc.hInstance = instance_;
    wc.hIcon = bigIcon_;
    wc.hIconSm = smallIcon_;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kFormClass;
    RegisterClassExA(&wc);

    app_.AddObserver(this);
    app_.SetPrompter(*this);
}

Win32Adapter::~Win32Adapter() {
    app_.RemoveObserver(this);
    for (auto& [form, window] : windows_) {
        for (Widget& widget : window->widgets) ReleaseWidget(widget);
        if (window->pageBrush != nullptr) DeleteObject(window->pageBrush);
        if (window->hwnd != nullptr) {
            SetWindowLongPtrA(window->hwnd, GWLP_USERDATA, 0);
            DestroyWindow(window->hwnd);
        }
    }
    windows_.clear();
    closed_.clear();
    if (ownFont_) DeleteObject(dialogFont_);
    if (bigIcon_) DestroyIcon(bigIcon_);
    if (smallIcon_) DestroyIcon(smallIcon_);
}

int Win32Adapter::Px(int twips) const {
    return MulDiv(twips, dpiX_, 1440);
}
int Win32Adapter::Py(int twips) const {
    return MulDiv(twips, dpiY_, 1440);
}

RECT Win32Adapter::Absolute(const Control& c) const {
    int left = c.place.left;
    int top = c.place.top;
    if (c.container != nullptr) {
        const RECT outer = Absolute(*c.container);
        RECT r = {outer.left + Px(left), outer.top + Py(top), 0, 0};
        r.right = r.left + Px(c.place.width);
        r.bottom = r.top + Py(c.place.height);
        return r;
    }
    if (c.tab >= 0 && c.form().tabs() != nullptr) {
        left += c.form().tabs()->place.left;
        top += c.form().tabs()->place.top;
    }
    RECT r = {Px(left), Py(top), 0, 0};
    r.right = r.left + Px(c.place.width);
    r.bottom = r.top + Py(c.place.height);
    return r;
}

Win32Adapter::Window* Win32Adapter::Find(const ui::Form& form) const {
    const auto it = windows_.find(&form);
    return it == windows_.end() ? nullptr : it->second.get();
}

// The record of a window that may have been unloaded meanwhile; the form is not touched.
Win32Adapter::Window* Win32Adapter::Alive(const ui::Form* form) const {
    const auto it = windows_.find(form);
    return it == windows_.end() ? nullptr : it->second.get();
}

Win32Adapter::Widget* Win32Adapter::Find(const Control& control) const {
    Window* window = Find(control.form());
    if (window == nullptr) return nullptr;
    for (Widget& widget : window->widgets) {
        if (widget.control == &control) return &widget;
    }
    return nullptr;
}

template <class F>
void Win32Adapter::Event(F&& f) {
    ++depth_;
    f();
    --depth_;
    if (depth_ == 0) {
        app_.Collect();
        closed_.clear();
    }
}

// ---- Creating windows ----

void Win32Adapter::FormOpened(ui::Form& form) {
    auto window = std::make_unique<Window>();
    window->adapter = this;
    window->form = &form;
    const bool main = app_.Forms().empty() || app_.Forms().front() == &form;
    DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPSIBLINGS;
    DWORD exStyle = WS_EX_CONTROLPARENT;
    if (main) {
        style |= WS_MINIMIZEBOX;
    } else {
        exStyle |= WS_EX_DLGMODALFRAME;
    }
    if (form.resizable) style |= WS_THICKFRAME | WS_MAXIMIZEBOX;
    RECT r = {0, 0, Px(form.width()), Py(form.height())};
    AdjustWindowRectEx(&r, style, FALSE, exStyle);
    HWND hwnd = CreateWindowExA(exStyle, kFormClass, form.caption().c_str(), style, CW_USEDEFAULT,
                                CW_USEDEFAULT, r.right - r.left, r.bottom - r.top, nullptr, nullptr,
                                instance_, nullptr);
    if (hwnd == nullptr) return;
    window->hwnd = hwnd;
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(window.get()));
    if (!main) {
        // Dialog windows carry no icon of their own in the title bar.
        SendMessageA(hwnd, WM_SETICON, ICON_SMALL, 0);
    }

    window->tooltip =
        CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr,
                        WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                        CW_USEDEFAULT, CW_USEDEFAULT, hwnd, nullptr, instance_, nullptr);
    if (window->tooltip != nullptr) SendMessageA(window->tooltip, TTM_SETMAXTIPWIDTH, 0, 320);

    for (const auto& control : form.controls()) {
        Widget widget;
        widget.control = control.get();
        window->widgets.push_back(widget);
    }
    for (Widget& widget : window->widgets) CreateWidget(*window, widget);

    // Z order: pictures, frames and the tab control lie under the controls they hold, deepest
    // frames nearest the controls; the tab order of the rest stays their creation order.
    std::vector<Widget*> under;
    for (Widget& w : window->widgets) {
        if (Has(*w.control, Kind::Picture)) under.push_back(&w);
    }
    std::vector<Widget*> frames;
    for (Widget& w : window->widgets) {
        if (Has(*w.control, Kind::Frame)) frames.push_back(&w);
    }
    std::stable_sort(frames.begin(), frames.end(),
                     [](Widget* a, Widget* b) { return Depth(*a->control) > Depth(*b->control); });
    under.insert(under.end(), frames.begin(), frames.end());
    for (Widget& w : window->widgets) {
        if (Has(*w.control, Kind::Tabs)) under.push_back(&w);
    }
    for (Widget* w : under) {
        if (w->hwnd != nullptr) {
            SetWindowPos(w->hwnd, HWND_BOTTOM, 0, 0, 0, 0,
                         SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        }
    }

    Window& ref = *window;
    windows_[&form] = std::move(window);
    for (Widget& widget : ref.widgets) Mirror(ref, widget);
    ArrangeAll(ref);
}

void Win32Adapter::CreateWidget(Window& window, Widget& widget) {
    const Control& c = *widget.control;
    const int id = kFirstControlId + static_cast<int>(&widget - window.widgets.data());
    const RECT r = Absolute(c);
    int width = r.right - r.left;
    int height = r.bottom - r.top;
    const char* cls = "STATIC";
    DWORD style = WS_CHILD;
    DWORD exStyle = 0;
    std::string text = c.caption();

    // Arrow keys move within a run of option buttons of one name; everything else starts a
    // group of its own.
    bool group = true;
    if (Has(c, Kind::Option)) {
        const std::size_t at = static_cast<std::size_t>(&widget - window.widgets.data());
        if (at > 0) {
            const Control& before = *window.widgets[at - 1].control;
            group = !(Has(before, Kind::Option) && before.name() == c.name());
        }
    }
    if (group) style |= WS_GROUP;

    switch (c.kind()) {
        case Kind::Button:
            cls = "BUTTON";
            style |= WS_TABSTOP | (c.isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
            if (text.find('\n') != std::string::npos) style |= BS_MULTILINE;
            break;
        case Kind::CheckBox:
            cls = "BUTTON";
            style |= WS_TABSTOP | BS_CHECKBOX | BS_MULTILINE;
            break;
        case Kind::Option:
            cls = "BUTTON";
            style |= BS_RADIOBUTTON | BS_MULTILINE;
            if (group) style |= WS_TABSTOP;
            break;
        case Kind::List:
            cls = "COMBOBOX";
            style |= WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST;
            height += Py(2400);  // the dropped list
            text.clear();
            break;
        case Kind::ScrollBar:
            cls = "SCROLLBAR";
            style |= WS_TABSTOP | (c.place.height > c.place.width ? SBS_VERT : SBS_HORZ);
            text.clear();
            break;
        case Kind::Slider:
            cls = TRACKBAR_CLASSA;
            style |=
                WS_TABSTOP | TBS_AUTOTICKS | (c.place.height > c.place.width ? TBS_VERT : TBS_HORZ);
            text.clear();
            break;
        case Kind::Label: {
            style |= SS_LEFT;
            if (!c.tooltip.empty()) style |= SS_NOTIFY;
            // A label over a picture lets the picture show through.
            for (const auto& other : c.form().controls()) {
                if (!Has(*other, Kind::Picture) || other->tab != c.tab) continue;
                const RECT p = Absolute(*other);
                RECT overlap;
                if (IntersectRect(&overlap, &p, &r)) widget.transparent = true;
            }
            if (widget.transparent) exStyle |= WS_EX_TRANSPARENT;
            break;
        }
        case Kind::TextBox:
            cls = "EDIT";
            style |= WS_TABSTOP | ES_AUTOHSCROLL;
            if (Multiline(c)) style |= ES_MULTILINE | ES_AUTOVSCROLL | WS_VSCROLL;
            if (c.readOnly) style |= ES_READONLY;
            exStyle |= WS_EX_CLIENTEDGE;
            text = ToEdit(c.text());
            break;
        case Kind::Picture:
            style |= SS_BITMAP | SS_CENTERIMAGE;
            if (!c.tooltip.empty()) style |= SS_NOTIFY;
            text.clear();
            break;
        case Kind::Frame:
            cls = "BUTTON";
            style |= BS_GROUPBOX;
            // Drawn after the controls beneath it, so its inside shows them.
            exStyle |= WS_EX_TRANSPARENT;
            break;
        case Kind::Tabs:
            cls = WC_TABCONTROLA;
            style |= WS_TABSTOP | WS_CLIPSIBLINGS;
            text.clear();
            break;
        case Kind::IconList:
            cls = WC_LISTVIEWA;
            style |= WS_TABSTOP | LVS_ICON | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_AUTOARRANGE;
            exStyle |= WS_EX_CLIENTEDGE;
            text.clear();
            break;
    }

    widget.hwnd = CreateWindowExA(exStyle, cls, text.c_str(), style, r.left, r.top, width, height,
                                  window.hwnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                  instance_, nullptr);
    if (widget.hwnd == nullptr) return;

    HFONT font = dialogFont_;
    if (!c.font.face.empty() || c.font.points > 0) {
        LOGFONTA lf;
        GetObjectA(dialogFont_, sizeof lf, &lf);
        if (!c.font.face.empty()) {
            std::strncpy(lf.lfFaceName, c.font.face.c_str(), LF_FACESIZE - 1);
            lf.lfFaceName[LF_FACESIZE - 1] = '\0';
        }
        if (c.font.points > 0) {
            lf.lfHeight = -MulDiv(static_cast<int>(c.font.points * 100 + 0.5), dpiY_, 7200);
        }
        widget.font = CreateFontIndirectA(&lf);
        if (widget.font != nullptr) font = widget.font;
    }
    SendMessageA(widget.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);

    switch (c.kind()) {
        case Kind::ScrollBar:
            SetScrollRange(widget.hwnd, SB_CTL, c.min, c.max, FALSE);
            break;
        case Kind::Slider:
            SendMessageA(widget.hwnd, TBM_SETRANGEMIN, FALSE, c.min);
            SendMessageA(widget.hwnd, TBM_SETRANGEMAX, FALSE, c.max);
            SendMessageA(widget.hwnd, TBM_SETLINESIZE, 0, std::max(c.smallChange, 1));
            SendMessageA(widget.hwnd, TBM_SETPAGESIZE, 0, std::max(c.largeChange, 1));
            if (c.tickEvery > 0) SendMessageA(widget.hwnd, TBM_SETTICFREQ, c.tickEvery, 0);
            break;
        case Kind::IconList: {
            const int size = GetSystemMetrics(SM_CXICON);
            widget.images = ImageList_Create(size, size, ILC_COLOR24 | ILC_MASK, 8, 4);
            SendMessageA(widget.hwnd, LVM_SETIMAGELIST, LVSIL_NORMAL,
                         reinterpret_cast<LPARAM>(widget.images));
            break;
        }
        default:
            break;
    }
    SyncItems(widget);
    SetPicture(widget);

    if (!c.tooltip.empty() && window.tooltip != nullptr) {
        TTTOOLINFOA tool;
        std::memset(&tool, 0, sizeof tool);
        tool.cbSize = TTTOOLINFOA_V2_SIZE;
        tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        tool.hwnd = window.hwnd;
        tool.uId = reinterpret_cast<UINT_PTR>(widget.hwnd);
        tool.lpszText = const_cast<char*>(c.tooltip.c_str());
        SendMessageA(window.tooltip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
    }
}

// Entries of lists, icon lists and tab pages: forms may fill them in their load, after the
// window was created, so they are compared again whenever the control or window changes.
void Win32Adapter::SyncItems(Widget& widget) {
    const Control& c = *widget.control;
    if (widget.hwnd == nullptr || widget.items == c.items) return;
    const bool was = mirroring_;
    mirroring_ = true;
    switch (c.kind()) {
        case Kind::List:
            SendMessageA(widget.hwnd, CB_RESETCONTENT, 0, 0);
            for (const std::string& item : c.items) {
                SendMessageA(widget.hwnd, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
            }
            SendMessageA(widget.hwnd, CB_SETCURSEL, static_cast<WPARAM>(c.value()), 0);
            break;
        case Kind::Tabs: {
            SendMessageA(widget.hwnd, TCM_DELETEALLITEMS, 0, 0);
            int i = 0;
            for (const std::string& item : c.items) {
                TCITEMA tab;
                std::memset(&tab, 0, sizeof tab);
                tab.mask = TCIF_TEXT;
                tab.pszText = const_cast<char*>(item.c_str());
                SendMessageA(widget.hwnd, TCM_INSERTITEMA, i++, reinterpret_cast<LPARAM>(&tab));
            }
            SendMessageA(widget.hwnd, TCM_SETCURSEL, static_cast<WPARAM>(c.value()), 0);
            break;
        }
        case Kind::IconList: {
            SendMessageA(widget.hwnd, LVM_DELETEALLITEMS, 0, 0);
            if (widget.images != nullptr) ImageList_RemoveAll(widget.images);
            const int size = GetSystemMetrics(SM_CXICON);
            const COLORREF back = GetSysColor(COLOR_WINDOW);
            for (std::size_t i = 0; i < c.items.size(); ++i) {
                int image = -1;
                const ui::Image picture =
                    ui::RenderPicture(c.picture + std::to_string(i + 1), size, size);
                if (!picture.empty() && widget.images != nullptr) {
                    HBITMAP color = MakeBitmap(picture, back);
                    HBITMAP mask = MakeMask(picture);
                    image = ImageList_Add(widget.images, color, mask);
                    DeleteObject(color);
                    DeleteObject(mask);
                }
                LVITEMA item;
                std::memset(&item, 0, sizeof item);
                item.mask = LVIF_TEXT | LVIF_IMAGE;
                item.iItem = static_cast<int>(i);
                item.iImage = image;
                item.pszText = const_cast<char*>(c.items[i].c_str());
                SendMessageA(widget.hwnd, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
            }
            // Spread the icons over the whole list, so that all of them show without
            // scrolling where they fit.
            RECT rc;
            GetClientRect(widget.hwnd, &rc);
            const int count = static_cast<int>(c.items.size());
            const int rows = std::max(1, static_cast<int>(rc.bottom) / (size + 34));
            const int columns = std::max(1, (count + rows - 1) / rows);
            const int cx = std::max(size + 16, std::min<int>(rc.right / columns, size * 3));
            const int cy = std::max(size + 34, static_cast<int>(rc.bottom) / rows);
            SendMessageA(widget.hwnd, LVM_SETICONSPACING, 0, MAKELPARAM(cx, cy));
            SendMessageA(widget.hwnd, LVM_ARRANGE, LVA_DEFAULT, 0);
            break;
        }
        default:
            break;
    }
    widget.items = c.items;
    mirroring_ = was;
}

// Visual styles paint tab pages lighter than dialogs; the page is drawn off screen once and its
// colour taken from the middle of the page.
COLORREF Win32Adapter::PageColor(Window& window) {
    if (window.pageKnown) return window.pageColor;
    window.pageColor = GetSysColor(COLOR_BTNFACE);
    HWND tab = nullptr;
    for (Widget& w : window.widgets) {
        if (Has(*w.control, Kind::Tabs)) tab = w.hwnd;
    }
    if (tab == nullptr) return window.pageColor;
    window.pageKnown = true;
    RECT rc;
    GetClientRect(tab, &rc);
    HDC screen = GetDC(tab);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, rc.right, rc.bottom);
    if (dc != nullptr && bitmap != nullptr) {
        HGDIOBJ old = SelectObject(dc, bitmap);
        FillRect(dc, &rc, GetSysColorBrush(COLOR_BTNFACE));
        SendMessageA(tab, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc),
                     PRF_CLIENT | PRF_ERASEBKGND);
        RECT page = rc;
        SendMessageA(tab, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&page));
        const COLORREF sampled =
            GetPixel(dc, (page.left + page.right) / 2, (page.top + page.bottom) / 2);
        if (sampled != CLR_INVALID) window.pageColor = sampled;
        SelectObject(dc, old);
    }
    if (bitmap != nullptr) DeleteObject(bitmap);
    if (dc != nullptr) DeleteDC(dc);
    ReleaseDC(tab, screen);
    window.pageBrush = CreateSolidBrush(window.pageColor);
    return window.pageColor;
}

void Win32Adapter::SetPicture(Widget& widget) {
    const Control& c = *widget.control;
    if (!Has(c, Kind::Picture) || widget.hwnd == nullptr || widget.picture == c.picture) return;
    widget.picture = c.picture;
    RECT r;
    GetClientRect(widget.hwnd, &r);
    HBITMAP bitmap = nullptr;
    const ui::Image image = ui::RenderPicture(c.picture, r.right - r.left, r.bottom - r.top);
    Window* window = Find(c.form());
    const COLORREF back =
        c.tab >= 0 && window != nullptr ? PageColor(*window) : GetSysColor(COLOR_BTNFACE);
    if (!image.empty()) bitmap = MakeBitmap(image, back);
    HBITMAP old = reinterpret_cast<HBITMAP>(
        SendMessageA(widget.hwnd, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap)));
    if (old != nullptr && old != bitmap) DeleteObject(old);
    if (widget.bitmap != nullptr && widget.bitmap != old) DeleteObject(widget.bitmap);
    widget.bitmap = bitmap;
}

void Win32Adapter::ReleaseWidget(Widget& widget) {
    if (widget.font != nullptr) DeleteObject(widget.font);
    if (widget.bitmap != nullptr) DeleteObject(widget.bitmap);
    if (widget.images != nullptr) ImageList_Destroy(widget.images);
    widget.font = nullptr;
    widget.bitmap = nullptr;
    widget.images = nullptr;
}

// ---- Mirroring the model ----

void Win32Adapter::Mirror(Window& window, Widget& widget) {
    const Control& c = *widget.control;
    HWND h = widget.hwnd;
    if (h == nullptr) return;
    const bool was = mirroring_;
    mirroring_ = true;
    SyncItems(widget);
    SetPicture(widget);
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
        case Kind::IconList: {
            const int selected = static_cast<int>(
                SendMessageA(h, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
            if (selected != c.value()) {
                LVITEMA item;
                std::memset(&item, 0, sizeof item);
                item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
                item.state = 0;
                SendMessageA(h, LVM_SETITEMSTATE, static_cast<WPARAM>(-1),
                             reinterpret_cast<LPARAM>(&item));
                if (c.value() >= 0) {
                    item.state = LVIS_SELECTED | LVIS_FOCUSED;
                    SendMessageA(h, LVM_SETITEMSTATE, static_cast<WPARAM>(c.value()),
                                 reinterpret_cast<LPARAM>(&item));
                }
            }
            break;
        }
        case Kind::TextBox: {
            const std::string text = ToEdit(c.text());
            if (WindowText(h) != text) SetWindowTextA(h, text.c_str());
            break;
        }
        case Kind::Button:
        case Kind::Label:
        case Kind::Frame:
            if (WindowText(h) != c.caption()) {
                SetWindowTextA(h, c.caption().c_str());
                if (widget.transparent) {
                    // Nothing erases behind a see-through label: repaint what lies under it.
                    RECT r;
                    GetWindowRect(h, &r);
                    MapWindowPoints(nullptr, window.hwnd, reinterpret_cast<POINT*>(&r), 2);
                    RedrawWindow(window.hwnd, &r, nullptr,
                                 RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
                }
            }
            break;
        case Kind::Picture:
            break;
    }
    mirroring_ = was;
}

void Win32Adapter::Arrange(Window& window, Widget& widget) {
    (void)window;
    if (widget.hwnd == nullptr) return;
    const Control& c = *widget.control;
    const bool shown = ShownInModel(c);
    const bool enabled = EnabledInModel(c);
    if ((IsWindowEnabled(widget.hwnd) != FALSE) != enabled) EnableWindow(widget.hwnd, enabled);
    if (((GetWindowLongA(widget.hwnd, GWL_STYLE) & WS_VISIBLE) != 0) != shown) {
        if (!shown && GetFocus() == widget.hwnd) {
            // Focus must not stay on a control that disappears (a tab page being left).
            const bool was = mirroring_;
            mirroring_ = true;
            SetFocus(window.hwnd);
            mirroring_ = was;
        }
        ShowWindow(widget.hwnd, shown ? SW_SHOWNA : SW_HIDE);
    }
}

void Win32Adapter::ArrangeAll(Window& window) {
    for (Widget& widget : window.widgets) Arrange(window, widget);
}

void Win32Adapter::ControlChanged(Control& control) {
    Window* window = Find(control.form());
    Widget* widget = Find(control);
    if (window == nullptr || widget == nullptr) return;
    Mirror(*window, *widget);
    // Frames and the tab control carry their children's visibility and usability.
    if (Has(control, Kind::Frame) || Has(control, Kind::Tabs)) {
        ArrangeAll(*window);
    } else {
        Arrange(*window, *widget);
    }
}

void Win32Adapter::Place(Window& window) {
    RECT r;
    GetWindowRect(window.hwnd, &r);
    const int width = r.right - r.left;
    const int height = r.bottom - r.top;
    RECT area;
    if (!SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0)) {
        area = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    }
    RECT around = area;
    if (window.form->centerOnOwner) {
        const std::vector<ui::Form*> forms = app_.Forms();
        if (!forms.empty() && forms.front() != window.form) {
            if (Window* main = Find(*forms.front())) GetWindowRect(main->hwnd, &around);
        }
    }
    int x = around.left + (around.right - around.left - width) / 2;
    int y = around.top + (around.bottom - around.top - height) / 2;
    x = std::max<int>(area.left, std::min<int>(x, area.right - width));
    y = std::max<int>(area.top, std::min<int>(y, area.bottom - height));
    SetWindowPos(window.hwnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32Adapter::FormChanged(ui::Form& form) {
    Window* window = Find(form);
    if (window == nullptr) return;
    for (Widget& widget : window->widgets) Mirror(*window, widget);
    ArrangeAll(*window);
    const bool shown = (GetWindowLongA(window->hwnd, GWL_STYLE) & WS_VISIBLE) != 0;
    if (form.visible() && !shown) {
        if (!window->placed) {
            Place(*window);
            window->placed = true;
        }
        ShowWindow(window->hwnd, SW_SHOWNORMAL);
    } else if (!form.visible() && shown) {
        ShowWindow(window->hwnd, SW_HIDE);
    }
    if ((IsWindowEnabled(window->hwnd) != FALSE) != form.enabled()) {
        EnableWindow(window->hwnd, form.enabled());
    }
}

void Win32Adapter::FormToFront(ui::Form& form) {
    Window* window = Find(form);
    if (window == nullptr) return;
    SetForegroundWindow(window->hwnd);
    BringWindowToTop(window->hwnd);
}

void Win32Adapter::FormUnloaded(ui::Form& form) {
    const auto it = windows_.find(&form);
    if (it == windows_.end()) return;
    std::unique_ptr<Window> window = std::move(it->second);
    windows_.erase(it);
    if (window->hwnd != nullptr) {
        // Messages that still arrive while it goes find no window record.
        SetWindowLongPtrA(window->hwnd, GWLP_USERDATA, 0);
        DestroyWindow(window->hwnd);
        window->hwnd = nullptr;
    }
    for (Widget& widget : window->widgets) ReleaseWidget(widget);
    if (window->pageBrush != nullptr) DeleteObject(window->pageBrush);
    window->pageBrush = nullptr;
    // Its window procedure may be running further up the stack: kept until the event ends.
    closed_.push_back(std::move(window));
    if (app_.Ended()) PostQuitMessage(0);
}

// ---- Message boxes ----

HWND Win32Adapter::Owner() const {
    HWND active = GetActiveWindow();
    for (const auto& [form, window] : windows_) {
        if (window->hwnd == active && active != nullptr) return active;
    }
    for (const auto& [form, window] : windows_) {
        if (form->visible() && form->enabled()) return window->hwnd;
    }
    return nullptr;
}

ui::Answer Win32Adapter::Show(const ui::Message& message) {
    UINT flags = message.buttons == ui::Buttons::YesNo ? MB_YESNO : MB_OK;
    switch (message.icon) {
        case ui::Icon::Information:
            flags |= MB_ICONINFORMATION;
            break;
        case ui::Icon::Critical:
            flags |= MB_ICONSTOP;
            break;
        case ui::Icon::None:
            break;
    }
    HWND owner = Owner();
    if (owner == nullptr) flags |= MB_TASKMODAL | MB_SETFOREGROUND;
    const int answer = MessageBoxA(owner, message.text.c_str(), message.title.c_str(), flags);
    if (message.buttons == ui::Buttons::Ok) return ui::Answer::Ok;
    return answer == IDYES ? ui::Answer::Yes : ui::Answer::No;
}

// ---- Events ----

LRESULT CALLBACK Win32Adapter::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* window = reinterpret_cast<Window*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (window == nullptr || window->form == nullptr) {
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
    return window->adapter->Handle(*window, message, wParam, lParam);
}

LRESULT Win32Adapter::Handle(Window& window, UINT message, WPARAM wParam, LPARAM lParam) {
    HWND hwnd = window.hwnd;
    switch (message) {
        case WM_COMMAND:
            if (Command(window, LOWORD(wParam), HIWORD(wParam))) return 0;
            break;
        case WM_NOTIFY:
            if (lParam != 0 && Notify(window, *reinterpret_cast<const NMHDR*>(lParam))) return 0;
            break;
        case WM_HSCROLL:
        case WM_VSCROLL:
            if (lParam != 0) {
                Scroll(window, reinterpret_cast<HWND>(lParam), LOWORD(wParam),
                       static_cast<short>(HIWORD(wParam)));
                return 0;
            }
            break;
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN: {
            HDC dc = reinterpret_cast<HDC>(wParam);
            HWND child = reinterpret_cast<HWND>(lParam);
            for (Widget& w : window.widgets) {
                if (w.hwnd != child) continue;
                const Control& c = *w.control;
                if (Has(c, Kind::TextBox)) break;
                if (c.color.set) SetTextColor(dc, RGB(c.color.r, c.color.g, c.color.b));
                if (w.transparent) {
                    SetBkMode(dc, TRANSPARENT);
                    return reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH));
                }
                if (c.tab >= 0 && PageColor(window) != GetSysColor(COLOR_BTNFACE) &&
                    window.pageBrush != nullptr) {
                    SetBkColor(dc, window.pageColor);
                    return reinterpret_cast<LRESULT>(window.pageBrush);
                }
                SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
                return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
            }
            break;
        }
        case DM_GETDEFID:
            for (std::size_t i = 0; i < window.widgets.size(); ++i) {
                const Control& c = *window.widgets[i].control;
                if (c.isDefault && Has(c, Kind::Button) && c.Usable()) {
                    return MAKELRESULT(kFirstControlId + i, DC_HASDEFID);
                }
            }
            return 0;
        case WM_ACTIVATE:
            if (LOWORD(wParam) == WA_INACTIVE) {
                HWND focus = GetFocus();
                if (focus != nullptr && IsChild(hwnd, focus)) window.focus = focus;
            } else {
                HWND focus = window.focus;
                if (focus == nullptr || !IsWindowVisible(focus) || !IsWindowEnabled(focus)) {
                    focus = GetNextDlgTabItem(hwnd, nullptr, FALSE);
                }
                if (focus != nullptr) {
                    // An option button that takes the focus reports a click; giving the focus
                    // back on activation is not the user's choice of option.
                    const bool was = mirroring_;
                    mirroring_ = true;
                    SetFocus(focus);
                    mirroring_ = was;
                }
                return 0;
            }
            break;
        case WM_CLOSE: {
            ui::Form* form = window.form;
            Event([form] { form->RequestClose(); });
            return 0;
        }
        default:
            break;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

bool Win32Adapter::Command(Window& window, int id, int code) {
    if (mirroring_) return true;
    if (id == IDCANCEL) {
        // Escape: the cancel button when the window has one, else as the close box.
        for (Widget& w : window.widgets) {
            Control* c = w.control;
            if (c->isCancel && Has(*c, Kind::Button) && c->Usable()) {
                Event([c] { c->Click(); });
                return true;
            }
        }
        ui::Form* form = window.form;
        Event([form] { form->RequestClose(); });
        return true;
    }
    const int index = id - kFirstControlId;
    if (index < 0 || index >= static_cast<int>(window.widgets.size())) return false;
    Widget& widget = window.widgets[static_cast<std::size_t>(index)];
    Control* c = widget.control;
    // A control the user cannot reach in the model takes no action, whatever the message.
    if (!c->Usable()) return true;
    HWND h = widget.hwnd;
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
                const ui::Form* form = window.form;
                Event([c, selected] { c->SetValue(selected); });
                // A list may refuse the entry (none picked): show the model's choice again.
                if (Window* still = Alive(form)) {
                    Mirror(*still, still->widgets[static_cast<std::size_t>(index)]);
                }
            }
            return true;
        case Kind::TextBox:
            if (code == EN_CHANGE && !c->readOnly) {
                const std::string text = FromEdit(WindowText(h));
                Event([c, text] { c->SetText(text); });
            }
            return true;
        default:
            return false;
    }
}

bool Win32Adapter::Notify(Window& window, const NMHDR& header) {
    if (mirroring_) return false;
    const int index = static_cast<int>(header.idFrom) - kFirstControlId;
    if (index < 0 || index >= static_cast<int>(window.widgets.size())) return false;
    Control* c = window.widgets[static_cast<std::size_t>(index)].control;
    HWND h = window.widgets[static_cast<std::size_t>(index)].hwnd;
    if (Has(*c, Kind::Tabs) && header.code == static_cast<UINT>(TCN_SELCHANGE)) {
        const int page = static_cast<int>(SendMessageA(h, TCM_GETCURSEL, 0, 0));
        Event([c, page] { c->SetValue(page); });
        return true;
    }
    if (!Has(*c, Kind::IconList) || !c->Usable()) return false;
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

void Win32Adapter::Scroll(Window& window, HWND bar, int code, int position) {
    if (mirroring_) return;
    Widget* widget = nullptr;
    for (Widget& w : window.widgets) {
        if (w.hwnd == bar) widget = &w;
    }
    if (widget == nullptr) return;
    Control* c = widget->control;
    if (!c->Usable()) return;
    if (Has(*c, Kind::Slider)) {
        // The track bar moves itself; dragging reports once the thumb is let go.
        if (code == TB_THUMBTRACK) return;
        const int value = static_cast<int>(SendMessageA(bar, TBM_GETPOS, 0, 0));
        Event([c, value] { c->SetValue(value); });
        return;
    }
    if (!Has(*c, Kind::ScrollBar)) return;
    int value = GetScrollPos(bar, SB_CTL);
    switch (code) {
        case SB_LINELEFT:
            value -= c->smallChange;
            break;
        case SB_LINERIGHT:
            value += c->smallChange;
            break;
        case SB_PAGELEFT:
            value -= c->largeChange;
            break;
        case SB_PAGERIGHT:
            value += c->largeChange;
            break;
        case SB_LEFT:
            value = c->min;
            break;
        case SB_RIGHT:
            value = c->max;
            break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION:
            value = position;
            break;
        default:
            break;
    }
    value = std::max(c->min, std::min(c->max, value));
    if (value != GetScrollPos(bar, SB_CTL)) SetScrollPos(bar, SB_CTL, value, TRUE);
    // The bar reports its value when the thumb is released or a click or key is done.
    if (code == SB_THUMBPOSITION || code == SB_ENDSCROLL) {
        const ui::Form* form = window.form;
        const std::size_t index = static_cast<std::size_t>(widget - window.widgets.data());
        Event([c, value] { c->SetValue(value); });
        if (Window* still = Alive(form)) Mirror(*still, still->widgets[index]);
    }
}

// ---- The loop ----

int Win32Adapter::Run() {
    MSG msg;
    while (!app_.Ended()) {
        const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
        if (got == 0 || got == -1) break;
        HWND root = msg.hwnd != nullptr ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
        bool ours = false;
        for (const auto& [form, window] : windows_) ours = ours || window->hwnd == root;
        // Tab, arrow keys, mnemonics, Enter and Escape as in a dialog.
        if (ours && IsDialogMessageA(root, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}

}  // namespace gui
