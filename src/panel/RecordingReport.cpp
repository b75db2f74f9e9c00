#include "panel/RecordingReport.h"

#include <cstdio>

#include "controls/FormatTime.h"
#include "platform/FormatFixed.h"
#include "settings/PageSrc.h"

namespace report {

namespace {

// Seconds with one decimal and the Russian decimal comma ("1,2"), whatever the process's locale.
std::string RussianSeconds(double seconds)
{
    std::string text = platform::FormatFixed(seconds, 1, 1);
    for (char& c : text)
        if (c == '.')
            c = ',';
    return text;
}

}  // namespace

std::string SameSources(const std::string& label)
{
    return "Второй источник звука «" + label +
           "» — тот же, что и первый. Выберите другой второй источник в настройках, на странице «Источники».";
}

std::string SourceMissing(std::string label)
{
    constexpr std::size_t kLongest = 120;
    if (label.size() > kLongest) {
        std::size_t cut = kLongest;
        while (cut > 0 && (static_cast<unsigned char>(label[cut]) & 0xC0) == 0x80)
            --cut;
        label = label.substr(0, cut) + "…";
    }
    return "Не найден источник звука «" + label +
           "». Подключите его или выберите другой источник в настройках, на странице «Источники».";
}

std::string AfterRecording(const CWaveRecorder::DroppedInput& dropped)
{
    std::string text;
    // "…: пропусков 3, всего около 1,2 с."
    if (dropped.gaps > 0)
        text += "Часть звука не записана (компьютер не успевал): пропусков " + std::to_string(dropped.gaps) +
                ", всего около " + RussianSeconds(dropped.seconds) + " с.\n";
    // "Звуковой вход пропадал с 0:00:03 записи на 5,2 с."
    for (const CWaveRecorder::InputOutage& outage : dropped.outages)
        text += "Звуковой вход пропадал с " + FormatTime(static_cast<int>(outage.atSeconds)) + " записи на " +
                RussianSeconds(outage.wallSeconds) + " с.\n";
    // "Второй источник пропадал с 0:00:03 записи на 2,3 с."
    for (const CWaveRecorder::InputOutage& outage : dropped.secondOutages)
        text += "Второй источник пропадал с " + FormatTime(static_cast<int>(outage.atSeconds)) + " записи на " +
                RussianSeconds(outage.wallSeconds) + " с.\n";
    // "Источник звука сменился с 0:01:05 записи: «Микрофон»."
    for (const CWaveRecorder::RecordedSwitch& change : dropped.switches)
        text += "Источник звука сменился с " + FormatTime(static_cast<int>(change.seconds)) + " записи: «" +
                CPageSrc::SourceLabel(change.source) + "».\n";
    if (dropped.keptLeftOut)
        text += "Звук, сохранённый до нажатия «Запись», не вошёл в запись: вход тем временем сменил формат.\n";
    return text;
}

void Log(const std::string& path, const CWaveRecorder::DroppedInput& dropped)
{
    if (dropped.gaps > 0)
        std::fprintf(stderr, "dravellin-recorder: %s: %llu gaps in the recording, about %.1f s of input dropped\n",
                     path.c_str(), static_cast<unsigned long long>(dropped.gaps), dropped.seconds);
    for (const CWaveRecorder::InputOutage& outage : dropped.outages)
        std::fprintf(stderr, "dravellin-recorder: %s: the input was lost at %.1f s of the recording for %.1f s\n",
                     path.c_str(), outage.atSeconds, outage.wallSeconds);
}

}  // namespace report
