#pragma once
// The level meter: the most recent capture buffer as a green waveform trace on black, one
// trace for mono, two one above the other for stereo, sampled column by column. No history,
// no peaks. User-interface thread only; the samples are read during DrawSamples only.

#include <cstdint>

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
    int m_nStep = 0;
    float m_fScale = 0.0f;
    int m_bStereo = 0;
    int m_nCount = 0;
    // Where the platform does not let the back buffer's pixels be drawn on in place, the trace
    // is drawn here, reused from tick to tick (cleared, not reallocated).
    wxImage m_trace;
};
