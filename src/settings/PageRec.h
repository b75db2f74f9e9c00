#pragma once
// The Record page "Запись" (dialog template 136): the bitrate slider with the size estimate, mono
// or stereo, the sampling rate and whether it follows the bitrate. The object is constructed
// with the settings sheet at program start, reads the four "Record" keys then and holds the
// recording format for the whole run; the main panel reads it through GetBitrate, GetSampleRate
// and GetStereoMode. What to record and the hands-free settings have pages of their own
// (CPageSrc, CPageAuto). User-interface thread only.

#include "settings/RecordSettings.h"
#include "settings/SettingsPage.h"

class wxScrollEvent;

class CPageRec : public CSettingsPage {
public:
    // The slider's notification codes, as a trackbar reports them.
    enum class ScrollCode {
        LineUp, LineDown, PageUp, PageDown,
        ThumbPosition,  // the thumb was released at a position
        ThumbTrack,     // the thumb is being dragged
        Top, Bottom,
        EndScroll,      // a movement has ended
    };

    CPageRec();
    ~CPageRec() override;

    // Bits per second of the configured step (32000 for step 3).
    int GetBitrate() const;
    // Hz of the configured rate (11025 for index 1).
    int GetSampleRate() const;
    // 0 mono, 1 stereo; the channel count is this plus one.
    int GetStereoMode() const;
    const RecordSettings& Settings() const { return m_settings; }

    // load true: read the key from section "Record" with its default into the member, brought
    // into range (clamped; the automatic switch is on for any non-zero value); false: write it.
    void PersistBitrate(bool load);
    void PersistStereoMode(bool load);
    void PersistSampleFreq(bool load);
    void PersistAutoFreq(bool load);

    // Slider position -> step, controls -> the other three members, then saves all four.
    void OnOK() override;

    // The rules applied to the page's controls; they need the page's window.
    // A slider notification: moves the slider, rewrites the estimate and applies the rate rule.
    void OnHScroll(ScrollCode code, int position);
    // The automatic switch was clicked: enabled states of the rate radios and group box 1026.
    void OnAutoFreq();
    // Checks the radio of the automatic rule's rate for kbps.
    void SelectFreqForBitrate(int kbps);
    // Enables the rates allowed by hand for kbps and moves the selection into them.
    void ApplyManualFreqRule(int kbps);
    // Radios 8000/11025 Hz enabled exactly when low, 22050/44100 Hz exactly when high.
    void EnableFreqRadios(bool low, bool high);

protected:
    void CreateControls() override;
    void DoDataExchange(bool save) override;
    bool OnInitDialog() override;

private:
    void OnSliderEvent(wxScrollEvent& event);
    // Checks the rate radio at index 0..3 and clears the other three.
    void SelectFreqIndex(int index);
    int SliderStep() const;
    bool AutoFreqChecked() const;
    int CheckedFreqIndex() const;

    RecordSettings m_settings;
};
