#pragma once
// The "Автозапись" page's hands-free settings: voice activation (on or off, threshold, hold and
// pre-roll) and how many seconds before Record are kept. Read from the "Record" section by Load; a stored value out of its range counts as the default and stays in the file as
// it is: Save writes only the values the user changed. User-interface thread only.

#include <functional>

class wxWindow;

class CHandsFreeSettings {
public:
    // Ranges and defaults.
    static constexpr int kThresholdMin = -90, kThresholdMax = -1, kThresholdDefault = -40;
    static constexpr int kHoldMin = 1, kHoldMax = 60, kHoldDefault = 3;
    static constexpr int kPreRollMin = 0, kPreRollMax = 10, kPreRollDefault = 1;
    static constexpr int kKeepBeforeMax = 30, kKeepBeforeDefault = 5;

    // Reads the keys (the page calls it after its own).
    void Load();

    bool VoiceActivated() const { return m_voice != 0; }
    int VoiceThreshold() const { return m_threshold; }
    int VoiceHold() const { return m_hold; }
    int VoicePreRoll() const { return m_preRoll; }
    // Seconds kept before Record; 0: the input is not kept open.
    int KeepBefore() const { return m_keepBefore; }

    // Places the controls on page, from its dialog-unit row top down.
    using PlaceFn = std::function<void(wxWindow* control, int x, int y, int width, int height)>;
    void CreateControls(wxWindow* page, int top, const PlaceFn& place);
    // Controls to values (save) or values to controls.
    void Exchange(bool save, wxWindow* page);
    // Writes the values that differ from what was read.
    void Save();

private:
    void EnableVoiceFields(wxWindow* page);
    void EnableKeepFields(wxWindow* page);

    int m_voice = 0;
    int m_threshold = kThresholdDefault;
    int m_hold = kHoldDefault;
    int m_preRoll = kPreRollDefault;
    int m_keepBefore = 0;
    // The seconds shown while keeping is off, for when it is turned on.
    int m_keepSeconds = kKeepBeforeDefault;
    // As read, to write only what changed.
    int m_readVoice = 0, m_readThreshold = 0, m_readHold = 0, m_readPreRoll = 0, m_readKeepBefore = 0;
};
