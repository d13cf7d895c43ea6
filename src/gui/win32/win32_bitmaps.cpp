#include "gui/win32/win32_bitmaps.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace gui::win32 {

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

int AddPicture(HIMAGELIST images, const std::string& picture, int size, COLORREF background,
               bool grey, COLORREF face) {
    ui::Image image = ui::RenderPicture(picture, size, size);
    if (image.empty() || images == nullptr) return -1;
    if (grey) {
        const int fr = GetRValue(face), fg = GetGValue(face), fb = GetBValue(face);
        for (std::size_t i = 0; i + 3 < image.rgba.size(); i += 4) {
            std::uint8_t* p = &image.rgba[i];
            const int luma = (p[0] * 299 + p[1] * 587 + p[2] * 114) / 1000;
            p[0] = static_cast<std::uint8_t>((luma + fr) / 2);
            p[1] = static_cast<std::uint8_t>((luma + fg) / 2);
            p[2] = static_cast<std::uint8_t>((luma + fb) / 2);
        }
    }
    HBITMAP color = MakeBitmap(image, background);
    HBITMAP mask = MakeMask(image);
    const int index = ImageList_Add(images, color, mask);
    DeleteObject(color);
    DeleteObject(mask);
    return index;
}

COLORREF SamplePageColor(HWND tabs, COLORREF fallback) {
    COLORREF color = fallback;
    RECT rc;
    GetClientRect(tabs, &rc);
    HDC screen = GetDC(tabs);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, rc.right, rc.bottom);
    if (dc != nullptr && bitmap != nullptr) {
        HGDIOBJ old = SelectObject(dc, bitmap);
        FillRect(dc, &rc, GetSysColorBrush(COLOR_BTNFACE));
        SendMessageA(tabs, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc),
                     PRF_CLIENT | PRF_ERASEBKGND);
        RECT page = rc;
        SendMessageA(tabs, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&page));
        const COLORREF sampled =
            GetPixel(dc, (page.left + page.right) / 2, (page.top + page.bottom) / 2);
        if (sampled != CLR_INVALID) color = sampled;
        SelectObject(dc, old);
    }
    if (bitmap != nullptr) DeleteObject(bitmap);
    if (dc != nullptr) DeleteDC(dc);
    ReleaseDC(tabs, screen);
    return color;
}

}  // namespace gui::win32
