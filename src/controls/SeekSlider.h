#pragma once
// The position slider: a horizontal slider without tick marks that remembers the range it was
// given, moves to either end in one call, carries a flag the panel sets while the user drags
// the thumb, and never keeps the keyboard focus (the panel's shortcuts keep working).
//
// It starts without a thumb, as there is no file to position in; ShowThumb shows it for good.
// Without a thumb the slider takes no mouse or keyboard input. On GTK the thumb is hidden by a
// style class that makes it transparent (the toolkit has no slider without a thumb).
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

    void SetPos(int position) { SetValue(position); }
    void GoToStart() { SetPos(m_rangeMin); }
    void GoToEnd() { SetPos(m_rangeMax); }

    bool IsDragging() const { return m_dragging; }
    void SetDragging(bool dragging) { m_dragging = dragging; }

    void ShowThumb();
    bool HasThumb() const { return m_hasThumb; }

    // Asking the slider to take the focus gives it to the parent.
    void SetFocus() override;
    bool AcceptsFocus() const override { return false; }
    bool AcceptsFocusFromKeyboard() const override { return false; }

private:
    void OnSetFocus(wxFocusEvent& event);
    void OnInputWithoutThumb(wxEvent& event);
    void ShowThumbStyle(bool show);

    int m_rangeMax = 0;
    int m_rangeMin = 0;
    bool m_dragging = false;
    bool m_hasThumb = false;
};
