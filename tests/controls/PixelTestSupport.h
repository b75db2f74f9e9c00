#pragma once
// Helpers of the controls' GUI tests: a shown frame to put controls on, and pixel queries on
// back-buffer images.

#include <functional>

#include <wx/frame.h>
#include <wx/image.h>

namespace controls_test {

// A shown top-level frame with a plain child window (the "panel") of 320 x 160 pixels.
class TestFrame {
public:
    TestFrame();
    ~TestFrame();
    wxWindow* Panel() const { return m_panel; }

private:
    wxFrame* m_frame;
    wxWindow* m_panel;
};

bool IsBlack(const wxImage& image, int x, int y);
bool IsRgb(const wxImage& image, int x, int y, unsigned char r, unsigned char g, unsigned char b);

// Pixels that are not black, as "x,y" lines, for readable failure messages.
std::string LitPixels(const wxImage& image);

// Smallest rectangle holding every non-black pixel; empty when the image is black.
wxRect LitBounds(const wxImage& image);

// True when image and other have the same pixels inside rect.
bool SamePixels(const wxImage& image, const wxImage& other, const wxRect& rect);

// Runs the event loop until done() or timeoutMs has passed.
void RunEventsUntil(const std::function<bool()>& done, int timeoutMs);

}  // namespace controls_test
