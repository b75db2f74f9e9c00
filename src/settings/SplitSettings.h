#pragma once
// The "Автозапись" page's group "Делить запись на файлы": a recording goes on into a new file
// every N minutes, every N megabytes or at the start of each clock hour, whichever comes first.
// Read from the "Record" section by Load: a negative value or text counts as off, a value above
// its range as the top of the range (never a split on every frame); Save writes only the values
// the user changed. User-interface thread only.

#include <cstdint>
#include <functional>

class wxWindow;

class CSplitSettings {
public:
    static constexpr int kMinutesMax = 1440;
    static constexpr int kMegabytesMax = 4000;
    // The value a check box turns on when the stored one is off.
    static constexpr int kMinutesDefault = 60, kMegabytesDefault = 100;

    void Load();

    // 0: off.
    int Minutes() const { return m_minutes; }
    int Megabytes() const { return m_megabytes; }
    bool OnHour() const { return m_onHour != 0; }
    bool Any() const { return m_minutes > 0 || m_megabytes > 0 || m_onHour != 0; }

    using PlaceFn = std::function<void(wxWindow* control, int x, int y, int width, int height)>;
    // Places the group on page from its dialog-unit row top down (60 units high).
    void CreateControls(wxWindow* page, int top, const PlaceFn& place);
    void Exchange(bool save, wxWindow* page);
    void Save();

private:
    void EnableFields(wxWindow* page);

    int m_minutes = 0, m_megabytes = 0, m_onHour = 0;
    // The numbers shown while their check box is off.
    int m_minutesShown = kMinutesDefault, m_megabytesShown = kMegabytesDefault;
    int m_readMinutes = 0, m_readMegabytes = 0, m_readOnHour = 0;
};
