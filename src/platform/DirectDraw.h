#pragma once
// Copies a finished picture onto a window at once, outside the toolkit's paint cycle, with
// nothing between the picture and the window but one cairo context: no device context object,
// no font or colour set-up, no repaint of the parent. This is what a custom control that shows
// a new picture ten times a second needs to stay cheap.
//
// User-interface thread.

#include <cstdint>
#include <functional>

class wxBitmap;
class wxWindow;

namespace platform {

// Draws the part (x, y, width, height) of bitmap at the same place of the window, the bitmap
// at the window's top left corner, unscaled and unmasked. False when nothing was drawn: the
// display only shows what is painted (Wayland, other platforms), or the window has no native
// drawing surface yet; the caller then asks for a repaint instead.
bool DrawNow(wxWindow& window, const wxBitmap& bitmap, int x, int y, int width, int height);

// Lets edit change a bitmap's pixels where the bitmap keeps them for drawing: rows of 32-bit
// 0x00RRGGBB values, stride values apart, so a picture redrawn ten times a second is neither
// converted nor copied on its way to the window. The bitmap stops sharing its pixels with copies
// first. False, without calling edit, where bitmaps are kept otherwise (other platforms, a
// bitmap with alpha): the caller then builds the picture as an image.
using PixelEditor = std::function<void(std::uint32_t* pixels, int stride, int width, int height)>;
bool EditPixels(wxBitmap& bitmap, const PixelEditor& edit);

}  // namespace platform
