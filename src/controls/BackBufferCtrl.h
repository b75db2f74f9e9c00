#pragma once
// Base of the custom-drawn display controls (level meter, status lamp, format and size panel,
// time display). Each keeps its whole picture in an off-screen bitmap of its own size and draws
// only into that bitmap; the one paint handler here copies the whole bitmap to the window
// whatever the update region is. A new picture is copied to the window at once where the
// display allows drawing outside a paint (X11): a repaint through the toolkit redraws the frame
// and the panel beneath the control too, which made the level meter's ten pictures a second
// the largest cost of the user interface while recording. Elsewhere the control invalidates
// itself. A new back buffer is black.
//
// User-interface thread only.

#include <functional>

#include <wx/bitmap.h>
#include <wx/dc.h>
#include <wx/image.h>
#include <wx/window.h>

#include "platform/DirectDraw.h"

class CBackBufferCtrl : public wxWindow {
public:
    // The green of all content and the black of the background.
    static const wxColour kGreen;
    static const wxColour kBlack;

    CBackBufferCtrl();
    // Creates the control at rect (position and size in the parent's client pixels).
    CBackBufferCtrl(wxWindow* parent, int id, const wxRect& rect);
    ~CBackBufferCtrl() override;

    bool Create(wxWindow* parent, int id, const wxRect& rect);

    // The picture as it is now, for inspection.
    const wxBitmap& GetBackBuffer() const { return m_bitmap; }
    wxImage GetBackBufferImage() const;

    int GetBufferWidth() const { return m_width; }
    int GetBufferHeight() const { return m_height; }

protected:
    // Runs draw on a memory device context holding the back buffer, then shows the new picture.
    void Draw(const std::function<void(wxDC& dc)>& draw);

    // Replaces the whole picture with image (of the control's size), then shows it.
    void ReplaceBackBuffer(const wxImage& image);

    // Runs edit on the back buffer's own pixels (rows of 0x00RRGGBB values, stride apart), then
    // shows the new picture. False, without running edit, where the platform does not allow it:
    // the caller then uses ReplaceBackBuffer. Only the part shown (all of it unless told) is
    // brought to the window: edit changes nothing outside it.
    bool EditBackBuffer(const platform::PixelEditor& edit);
    bool EditBackBuffer(const platform::PixelEditor& edit, const wxRect& shown);

    // Fills rect of the back buffer with black.
    static void FillBlack(wxDC& dc, const wxRect& rect);

    // Fills rect with black and draws one line of green text inside it, clipped to it, with its
    // top at the rectangle's top: left-aligned, or right-aligned against the rectangle's right
    // edge. Called once a second for each of two texts while recording.
    enum class Align { Left, Right };
    static void DrawLineOfText(wxDC& dc, const wxFont& font, const wxString& text, const wxRect& rect, Align align);

    int m_width = 0;
    int m_height = 0;

private:
    void OnPaint(wxPaintEvent& event);
    // Brings the window up to date with the back buffer, where it differs within changed.
    void Present();
    void Present(const wxRect& changed);

    wxBitmap m_bitmap;
};
