// The product's pictures as GDI bitmaps and icons, and the colour a tab page is painted in.
#pragma once

#include <string>
#include <vector>

#include "platform/win32/windows_api.h"
#include "ui/pictures.h"

namespace gui::win32 {

// A top-down 32-bit DIB of the image laid over a background colour (the picture's alpha is
// blended here, so the static control needs no alpha support).
HBITMAP MakeBitmap(const ui::Image& image, COLORREF background);

// A monochrome mask: set where the image is transparent.
HBITMAP MakeMask(const ui::Image& image);

// The named picture as a square icon; null when there is no such picture.
HICON MakeIcon(const std::string& picture, int size);

// The named pictures side by side as an icon list shows them, over its background colour
// where they are mostly clear, greyed and faded into the background when `grey`. The second
// row is the selected look: every other pixel of each picture in the highlight colour. Null
// when there are no pictures.
HBITMAP MakeIconStrip(const std::vector<std::string>& pictures, int size, COLORREF background,
                      bool grey, COLORREF highlight);

// Visual styles paint tab pages lighter than dialogs: the colour the tab control's theme
// gives the middle of its page; `fallback` without visual styles or when that fails.
COLORREF SamplePageColor(HWND tabs, COLORREF fallback);

}  // namespace gui::win32
