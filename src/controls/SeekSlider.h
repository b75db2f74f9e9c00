#pragma once
// The position slider: a horizontal slider without tick marks that remembers the range it was
// given, moves to either end in one call, carries a flag the panel sets while the user drags
// the thumb, and never keeps the keyboard focus (the panel's shortcuts keep working).
//
// It starts without a thumb, as there is no file to position in; ShowThumb shows it for good.
// Without a thumb the slider takes no mouse or keyboard input. On GTK the thumb is hidden by a
// style class that makes it transparent (the toolkit has no slider without a thumb).
//
// With a thumb it reports the user's input as a trackbar does: a left click in the channel away
// from the thumb is a page step towards the click (wxEVT_SCROLL_PAGEUP/PAGEDOWN), repeated while
// the button is held until the thumb reaches the pointer; pressing on the thumb and dragging it
// is tracking (wxEVT_SCROLL_THUMBTRACK) and ends with wxEVT_SCROLL_THUMBRELEASE. Each notch of the
// mouse wheel is one line step, up or left back (wxEVT_SCROLL_LINEUP), down or right forward
// (wxEVT_SCROLL_LINEDOWN); the slider does not move its thumb for the wheel itself, the receiver
// of the step does.
//
// User-interface thread only.

#include <wx/slider.h>

class CSeekSlider : public wxSlider {
public:
    CSeekSlider();
    CSeekSlider(wxWindow* parent, int id, const wxRect& rect);

    bool Create(wxWindow* parent, int id, const wxRect& rect);

    // Remembers the range, then gives it to the control.
    void SetRange(int minValue, int maxValue) override;
    int GetRangeMin() const { return m_rangeMin; }
    int GetRangeMax() const { return m_rangeMax; }

    // The control keeps a page of at least one step, so that a channel click is always reported.
    void SetPageSize(int pageSize) override;

    void SetPos(int position) { SetValue(position); }
    void GoToStart() { SetPos(m_rangeMin); }
    void GoToEnd() { SetPos(m_rangeMax); }

    bool IsDragging() const { return m_dragging; }
    void SetDragging(bool dragging) { m_dragging = dragging; }

    void ShowThumb();
    bool HasThumb() const { return m_hasThumb; }

    // One page step of a press in the channel: reported towards the pointer unless the thumb
    // has reached it. Called by the toolkit's handling of the press.
    void PageTowardsPointer(bool forward);

    // Asking the slider to take the focus gives it to the parent.
    void SetFocus() override;
    bool AcceptsFocus() const override { return false; }
    bool AcceptsFocusFromKeyboard() const override { return false; }

private:
    void OnSetFocus(wxFocusEvent& event);
    void OnInputWithoutThumb(wxEvent& event);
    void OnLeftDown(wxMouseEvent& event);
    void OnWheel(wxMouseEvent& event);
    void SendScroll(wxEventType type);
    void ShowThumbStyle(bool show);

    int m_rangeMax = 0;
    int m_rangeMin = 0;
    bool m_dragging = false;
    bool m_hasThumb = false;
    // Wheel rotation not yet turned into a whole notch (high-resolution wheels and touchpads).
    int m_wheelRest = 0;
};
