#pragma once
// The level meter: the most recent capture buffer as a green waveform trace on black, one
// trace for mono, two one above the other for stereo, sampled column by column. No history,
// no peaks. User-interface thread only; the samples are read during DrawSamples only.
//
// Each picture redraws and shows only the columns where it differs from the one before: a
// column's pixels depend on the trace's points in it and beside it, so the columns around the
// points that moved are all that change; a picture like the last is not drawn at all.

#include <cstdint>
#include <vector>

#include <wx/image.h>

#include "controls/BackBufferCtrl.h"

class CLevelMeter : public CBackBufferCtrl {
public:
    CLevelMeter();
    CLevelMeter(wxWindow* parent, int id, const wxRect& rect);

    bool Create(wxWindow* parent, int id, const wxRect& rect);

    // Fixes the sampling of the following buffers: count 16-bit values per buffer, all
    // channels together; bits is not used; stereo nonzero for two interleaved channels.
    void SetupTrace(int count, int bits, int stereo);

    // Draws one buffer of at least count values (the count of the last SetupTrace).
    void DrawSamples(const std::int16_t* samples);

    // Back to the black box.
    void Clear();

    int GetStep() const { return m_nStep; }
    float GetScale() const { return m_fScale; }

private:
    // The traces' points of samples (the y of each column from the margin on, upper or only
    // trace first) into m_next.
    void TracePoints(const std::int16_t* samples);
    // The columns [first, last] that differ between the shown points and m_next; false when
    // none do.
    bool ChangedColumns(int& first, int& last) const;

    int m_nStep = 0;
    float m_fScale = 0.0f;
    int m_bStereo = 0;
    int m_nCount = 0;
    // Where the platform does not let the back buffer's pixels be drawn on in place, the trace
    // is drawn here, reused from tick to tick (cleared, not reallocated).
    wxImage m_trace;
    // The points of the picture shown (empty: the back buffer holds no trace), and of the next.
    std::vector<int> m_shown;
    std::vector<int> m_next;
};
