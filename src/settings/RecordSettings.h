#pragma once
// The configured recording format and the fixed rules around it: the eleven bitrate steps with
// their quality-preset names, the four sampling rates, the automatic and the manual rule that tie
// the sampling rate to the bitrate, and the size estimate shown under the bitrate slider.
//
// Only indices are held and stored. Every function here takes any int and never reads a table
// outside its bounds: a step or an index outside its range is clamped to the nearest end of the
// range first (a stored "Bitrate" of 25 is the 256 kbps step, -3 the 8 kbps step). Pure functions,
// callable from any thread.

#include <string>

// The four integers the Record page holds for the whole run, with their defaults.
struct RecordSettings {
    int m_nBitrate = 3;     // bitrate step 0..10 (32 kbps)
    int m_nStereoMode = 0;  // 0 mono, 1 stereo
    int m_nSampleFreq = 1;  // sampling-rate index 0..3 (11025 Hz)
    int m_bAutoFreq = 1;    // 1: the sampling rate follows the bitrate
};

namespace record_format {

inline constexpr int kBitrateSteps = 11;
inline constexpr int kSampleRates = 4;
// The one bitrate at which every sampling rate may be chosen by hand.
inline constexpr int kPivotKbps = 32;

// Range checks for values read from the settings store.
int ClampBitrateStep(int step);
int ClampSampleFreqIndex(int index);
int ClampStereoMode(int mode);
// Switches are on for any non-zero value; the result is 0 or 1.
int NormalizeSwitch(int value);

// Bitrate of a step in kbps (8 .. 256).
int BitrateKbps(int step);
// The quality-preset name of a step ("Phone-" .. "CD+").
const char* PresetName(int step);
// Sampling rate of an index in Hz (8000, 11025, 22050, 44100).
int SampleRateHz(int index);

// Automatic rule: the sampling-rate index for a bitrate in kbps.
int AutoFreqIndex(int kbps);

// Manual rule: which rates may be picked by hand at a bitrate, and the selection that results
// from the current one. lowAllowed covers 8000 and 11025 Hz, highAllowed 22050 and 44100 Hz.
struct ManualFreqChoice {
    bool lowAllowed;
    bool highAllowed;
    int index;
};
// current is the selected rate index; a value outside 0..3 means "nothing selected" and yields
// the automatic rule's choice for the same bitrate.
ManualFreqChoice ManualFreqRule(int kbps, int current);

// Size estimate of a step: megabytes (of 1,048,576 bytes) per minute and per hour of recording.
double MegabytesPerMinute(int step);
double MegabytesPerHour(int step);
// "1 минута записи - %3.2f Mb, 1 час - %3.1f Mb ( %s );" for the step, UTF-8, always with a
// decimal point whatever the process locale says.
std::string SizeEstimateText(int step);

}  // namespace record_format
