#include "gui/win32/win32_bitmaps.h"

#include <uxtheme.h>
#include <vssym32.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace gui::win32 {

namespace {

// A 32-bit bitmap whose rows run top down, so pixel (x, y) is bits[y * width + x].
HBITMAP MakeTopDownBitmap(int width, int height, void** bits) {
    BITMAPINFO info;
    std::memset(&info, 0, sizeof info);
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    *bits = nullptr;
    return CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, bits, nullptr, 0);
}

}  // namespace

HBITMAP MakeBitmap(const ui::Image& image, COLORREF background) {
    void* bits = nullptr;
    HBITMAP bitmap = MakeTopDownBitmap(image.width, image.height, &bits);
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

HBITMAP MakeIconStrip(const std::vector<std::string>& pictures, int size, COLORREF background,
                      bool grey, COLORREF highlight) {
    const int count = static_cast<int>(pictures.size());
    if (count == 0 || size <= 0) return nullptr;
    void* bits = nullptr;
    HBITMAP strip = MakeTopDownBitmap(size * count, 2 * size, &bits);
    if (strip == nullptr || bits == nullptr) return strip;
    auto* out = static_cast<std::uint32_t*>(bits);
    const std::size_t stride = static_cast<std::size_t>(size) * count;
    auto pixel = [](int r, int g, int b) {
        return static_cast<std::uint32_t>(b | g << 8 | r << 16);
    };
    const int br = GetRValue(background), bg = GetGValue(background), bb = GetBValue(background);
    const std::uint32_t back = pixel(br, bg, bb);
    const std::uint32_t mark =
        pixel(GetRValue(highlight), GetGValue(highlight), GetBValue(highlight));
    for (int i = 0; i < count; ++i) {
        const ui::Image image =
            ui::RenderPicture(pictures[static_cast<std::size_t>(i)], size, size);
        for (int y = 0; y < size; ++y) {
            std::uint32_t* normal = out + static_cast<std::size_t>(y) * stride + i * size;
            std::uint32_t* selected = normal + static_cast<std::size_t>(size) * stride;
            for (int x = 0; x < size; ++x) {
                const std::uint8_t* p =
                    image.empty() ? nullptr
                                  : &image.rgba[(static_cast<std::size_t>(y) * size + x) * 4];
                // Clear where the picture is mostly clear, as a masked image list draws it.
                if (p == nullptr || p[3] < 128) {
                    normal[x] = selected[x] = back;
                    continue;
                }
                int r = p[0], g = p[1], b = p[2];
                if (grey) {
                    const int luma = (r * 299 + g * 587 + b * 114) / 1000;
                    r = (luma + br) / 2;
                    g = (luma + bg) / 2;
                    b = (luma + bb) / 2;
                }
                const int a = p[3];
                normal[x] = pixel((r * a + br * (255 - a)) / 255, (g * a + bg * (255 - a)) / 255,
                                  (b * a + bb * (255 - a)) / 255);
                selected[x] = (x + y) % 2 == 1 ? mark : normal[x];
            }
        }
    }
    return strip;
}

// Only the theme's pane is drawn, and into one pixel at the middle of the page: drawing the
// whole tab control off screen cost as much again as its first paint.
COLORREF SamplePageColor(HWND tabs, COLORREF fallback) {
    HTHEME theme = GetWindowTheme(tabs);
    if (theme == nullptr) return fallback;
    RECT pane;
    GetClientRect(tabs, &pane);
    RECT page = pane;
    SendMessageA(tabs, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&page));
    // The pane lies below the row of headers.
    RECT header;
    if (SendMessageA(tabs, TCM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&header))) {
        pane.top = header.bottom;
    }
    const POINT middle = {(page.left + page.right) / 2, (page.top + page.bottom) / 2};
    COLORREF color = fallback;
    HDC screen = GetDC(tabs);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP pixel = CreateCompatibleBitmap(screen, 1, 1);
    ReleaseDC(tabs, screen);
    if (dc != nullptr && pixel != nullptr) {
        HGDIOBJ old = SelectObject(dc, pixel);
        SetViewportOrgEx(dc, -middle.x, -middle.y, nullptr);
        FillRect(dc, &pane, GetSysColorBrush(COLOR_BTNFACE));
        DrawThemeBackground(theme, dc, TABP_PANE, 0, &pane, nullptr);
        const COLORREF sampled = GetPixel(dc, middle.x, middle.y);
        if (sampled != CLR_INVALID) color = sampled;
        SelectObject(dc, old);
    }
    if (pixel != nullptr) DeleteObject(pixel);
    if (dc != nullptr) DeleteDC(dc);
    return color;
}

}  // namespace gui::win32
