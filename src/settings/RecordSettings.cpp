#include "settings/RecordSettings.h"

#include <algorithm>
#include <array>

#include "platform/FormatFixed.h"

namespace record_format {
namespace {

struct BitrateStep {
    int kbps;
    const char* preset;
};

constexpr std::array<BitrateStep, kBitrateSteps> kSteps{{
    {8, "Phone-"},
    {16, "Phone"},
    {24, "MW-EU"},
    {32, "AM radio"},
    {48, "MW-US"},
    {64, "Voice"},
    {96, "FM radio"},
    {128, "Tape"},
    {160, "HiFi"},
    {192, "CD"},
    {256, "CD+"},
}};

constexpr std::array<int, kSampleRates> kRatesHz{8000, 11025, 22050, 44100};

// 1024 * 60 / (8 * 1048576) = 15/2048: megabytes per minute for each kbps, taken as 1024 bit/s.
constexpr float kMegabytesPerKbpsMinute = 0.00732421875f;

}  // namespace

int ClampBitrateStep(int step) { return std::clamp(step, 0, kBitrateSteps - 1); }

int ClampSampleFreqIndex(int index) { return std::clamp(index, 0, kSampleRates - 1); }

int ClampStereoMode(int mode) { return std::clamp(mode, 0, 1); }

int NormalizeSwitch(int value) { return value != 0 ? 1 : 0; }

int BitrateKbps(int step) { return kSteps[static_cast<std::size_t>(ClampBitrateStep(step))].kbps; }

const char* PresetName(int step)
{
    return kSteps[static_cast<std::size_t>(ClampBitrateStep(step))].preset;
}

int SampleRateHz(int index) { return kRatesHz[static_cast<std::size_t>(ClampSampleFreqIndex(index))]; }

int AutoFreqIndex(int kbps)
{
    if (kbps <= 16)
        return 0;
    if (kbps <= 32)
        return 1;
    if (kbps <= 64)
        return 2;
    return 3;
}

ManualFreqChoice ManualFreqRule(int kbps, int current)
{
    const bool selected = current >= 0 && current < kSampleRates;
    if (kbps == kPivotKbps)
        return {true, true, selected ? current : AutoFreqIndex(kbps)};
    if (kbps > kPivotKbps) {
        // Only 22050 and 44100 Hz; anything lower moves to 22050 Hz (the choice for 64 kbps).
        const bool keep = selected && kRatesHz[static_cast<std::size_t>(current)] >= 22050;
        return {false, true, keep ? current : AutoFreqIndex(64)};
    }
    // Only 8000 and 11025 Hz; anything higher moves to 11025 Hz (the choice for 24 kbps).
    const bool keep = selected && kRatesHz[static_cast<std::size_t>(current)] <= 11025;
    return {true, false, keep ? current : AutoFreqIndex(24)};
}

double MegabytesPerMinute(int step)
{
    const float perMinute = static_cast<float>(BitrateKbps(step)) * kMegabytesPerKbpsMinute;
    return static_cast<double>(perMinute);
}

double MegabytesPerHour(int step)
{
    const float perMinute = static_cast<float>(BitrateKbps(step)) * kMegabytesPerKbpsMinute;
    return static_cast<double>(perMinute * 60.0f);
}

std::string SizeEstimateText(int step)
{
    return "1 минута записи - " + platform::FormatFixed(MegabytesPerMinute(step), 3, 2) +
           " Mb, 1 час - " + platform::FormatFixed(MegabytesPerHour(step), 3, 1) + " Mb ( " +
           PresetName(step) + " );";
}

}  // namespace record_format
