#pragma once
// The one table of every persisted setting: section, key, type and default. No other key is
// read or written anywhere in the program; code names a setting through these constants.

#include <array>
#include <string>

#include "platform/Profile.h"

namespace platform {

struct IntSetting {
    const char* section;
    const char* key;
    int defaultValue;
};

struct StringSetting {
    const char* section;
    const char* key;
    const char* defaultValue;
};

inline constexpr const char* kSectionCommon = "Common";
inline constexpr const char* kSectionRecord = "Record";
inline constexpr const char* kSectionTimer = "Timer";

// Left and top edge of the main window in screen pixels.
inline constexpr IntSetting kXScreen{kSectionCommon, "x_screen", 300};
inline constexpr IntSetting kYScreen{kSectionCommon, "y_screen", 200};
// 1: the main window starts minimised.
inline constexpr IntSetting kMinimized{kSectionCommon, "Minimized", 0};
// Non-zero: the main window stays above all other windows.
inline constexpr IntSetting kAlwaysOnTop{kSectionCommon, "AlwaysOnTop", 0};
// Start-up action: 0 nothing, 1 new file with the standard name, 2 the last file.
inline constexpr IntSetting kLoader{kSectionCommon, "Loader", 0};
// 1: the program starts when the user logs on.
inline constexpr IntSetting kAutorun{kSectionCommon, "Autorun", 0};
// 1: an icon in the notification area shows the state and offers record, stop, show and exit.
// On by default on Windows, whose task bar always has the area; off elsewhere, where many
// desktops have none (GNOME) and others show an old-style icon through a bridge.
#ifdef _WIN32
inline constexpr IntSetting kTrayIcon{kSectionCommon, "TrayIcon", 1};
#else
inline constexpr IntSetting kTrayIcon{kSectionCommon, "TrayIcon", 0};
#endif
// The key combination that toggles recording from any program (a name GlobalHotkey offers,
// "Ctrl+Alt+R"); empty (the default): none. Used only where GlobalHotkey::Supported().
inline constexpr StringSetting kHotkey{kSectionCommon, "Hotkey", ""};
// Full path of the file most recently created or chosen.
inline constexpr StringSetting kLastFile{kSectionCommon, "LastFile", ""};
// Bitrate step 0..10 (8 .. 256 kbps); 3 = 32 kbps.
inline constexpr IntSetting kBitrate{kSectionRecord, "Bitrate", 3};
// 0 mono, 1 stereo.
inline constexpr IntSetting kStereoMode{kSectionRecord, "Stereo mode", 0};
// Sampling-rate index 0..3 (8000, 11025, 22050, 44100 Hz); 1 = 11025 Hz.
inline constexpr IntSetting kSampleFreq{kSectionRecord, "SampleFreq", 1};
// 1: the sampling rate follows the bitrate.
inline constexpr IntSetting kAutoFreq{kSectionRecord, "Auto freq", 1};
// The sound server's source to record, by its name (Windows: the audio endpoint's ID); empty:
// the desktop's default input.
inline constexpr StringSetting kSource{kSectionRecord, "Source", ""};
// How the Sources page showed that source when it was chosen ("Звук компьютера: ..." for an
// output): kept so the page and a message can name it while it is unplugged.
inline constexpr StringSetting kSourceLabel{kSectionRecord, "SourceLabel", ""};
// A second source recorded together with the first, by its name; empty: none.
inline constexpr StringSetting kSecondSource{kSectionRecord, "SecondSource", ""};
// How the page showed the second source, as SourceLabel for the first.
inline constexpr StringSetting kSecondSourceLabel{kSectionRecord, "SecondSourceLabel", ""};
// 1: with two sources and stereo, the first goes to the left channel and the second to the
// right; 0: both are mixed into every channel. Counts as 0 for mono.
inline constexpr IntSetting kSourcesApart{kSectionRecord, "SourcesApart", 0};
// 1: the computer is kept from sleeping while recording (the login manager's inhibitor).
inline constexpr IntSetting kKeepAwake{kSectionRecord, "Keep awake", 1};
// Voice activation: 1 writes only while the input is above the threshold (dBFS, -90..-1), until
// it has stayed below it for the hold (seconds, 1..60), with the pre-roll (seconds, 0..10) before.
inline constexpr IntSetting kVoiceActivated{kSectionRecord, "VoiceActivated", 0};
inline constexpr IntSetting kVoiceThreshold{kSectionRecord, "VoiceThreshold", -40};
inline constexpr IntSetting kVoiceHold{kSectionRecord, "VoiceHold", 3};
inline constexpr IntSetting kVoicePreRoll{kSectionRecord, "VoicePreRoll", 1};
// Seconds of input kept in memory before Record while a file is loaded and nothing plays
// (the input stays open); 0 (the default): off. At most 30.
inline constexpr IntSetting kKeepBefore{kSectionRecord, "KeepBefore", 0};
// The files whose last writes failed where no message could say so (the program was closing
// for the system, or its window had gone), one a line: shown once at the next start.
inline constexpr StringSetting kSyncFailedFiles{kSectionRecord, "SyncFailedFiles", ""};
// A recording goes on into a new file (the standard name, in the same folder) every N minutes
// of recording (1..1440), every N megabytes (MiB, 1..4000) or at the start of each clock hour
// (1); whichever comes first. 0 (the default): off. Negative values and text count as off,
// values above the range as its top.
inline constexpr IntSetting kSplitMinutes{kSectionRecord, "SplitMinutes", 0};
inline constexpr IntSetting kSplitMegabytes{kSectionRecord, "SplitMegabytes", 0};
inline constexpr IntSetting kSplitOnHour{kSectionRecord, "SplitOnHour", 0};
// The armed recording timer: its start as local "YYYY-MM-DD HH:MM:SS" (empty: none armed), its
// duration in seconds (0: until stopped by hand) and 1 for a new file with the standard name
// (0 appends to the current file).
inline constexpr StringSetting kTimerStart{kSectionTimer, "Start", ""};
inline constexpr IntSetting kTimerDuration{kSectionTimer, "Duration", 0};
inline constexpr IntSetting kTimerNewFile{kSectionTimer, "NewFile", 0};

inline constexpr std::array<IntSetting, 10> kAllIntSettings{
    kXScreen, kYScreen, kMinimized, kAlwaysOnTop, kLoader,
    kAutorun, kBitrate, kStereoMode, kSampleFreq, kAutoFreq};

inline int ReadSetting(const IntSetting& s)
{
    return GetProfileInt(s.section, s.key, s.defaultValue);
}
inline void WriteSetting(const IntSetting& s, int value) { WriteProfileInt(s.section, s.key, value); }
inline std::string ReadSetting(const StringSetting& s)
{
    return GetProfileString(s.section, s.key, s.defaultValue);
}
inline void WriteSetting(const StringSetting& s, const std::string& value)
{
    WriteProfileString(s.section, s.key, value);
}

}  // namespace platform
