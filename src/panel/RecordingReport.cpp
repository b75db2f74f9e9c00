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

namespace {

std::string Shortened(std::string label)
{
    constexpr std::size_t kLongest = 120;
    if (label.size() > kLongest) {
        std::size_t cut = kLongest;
        while (cut > 0 && (static_cast<unsigned char>(label[cut]) & 0xC0) == 0x80)
            --cut;
        label = label.substr(0, cut) + "…";
    }
    return label;
}

}  // namespace

std::string CannotOpen(std::string label)
{
    return "Не могу открыть звуковой вход «" + Shortened(std::move(label)) +
           "»: он занят другой программой, не даёт записывать с себя или звуковой сервер недоступен.";
}

std::string SourceMissing(std::string label)
{
    label = Shortened(std::move(label));
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

CWaveRecorder::DroppedInput DroppedInPiece(const std::vector<RecordingPiece>& pieces, std::size_t index,
                                           const CWaveRecorder::DroppedInput& dropped)
{
    const double from = index == 0 ? -1e300 : pieces[index].startSeconds;
    const double to = index + 1 < pieces.size() ? pieces[index + 1].startSeconds : 1e300;
    const double origin = pieces[index].startSeconds;
    auto inside = [&](double at) { return at >= from && at < to; };
    CWaveRecorder::DroppedInput part;
    for (const CWaveRecorder::InputOutage& gap : dropped.gapList)
        if (inside(gap.atSeconds)) {
            ++part.gaps;
            part.seconds += gap.wallSeconds;
            part.gapList.push_back({gap.atSeconds - origin, gap.wallSeconds});
        }
    for (const CWaveRecorder::InputOutage& outage : dropped.outages)
        if (inside(outage.atSeconds))
            part.outages.push_back({outage.atSeconds - origin, outage.wallSeconds});
    for (const CWaveRecorder::InputOutage& outage : dropped.secondOutages)
        if (inside(outage.atSeconds))
            part.secondOutages.push_back({outage.atSeconds - origin, outage.wallSeconds});
    for (const CWaveRecorder::RecordedSwitch& change : dropped.switches)
        if (inside(change.seconds))
            part.switches.push_back({change.source, change.seconds - origin});
    part.keptLeftOut = index == 0 && dropped.keptLeftOut;
    return part;
}

std::string AfterSplitRecording(const std::vector<RecordingPiece>& pieces, const CWaveRecorder::DroppedInput& dropped)
{
    // "Запись разделена на файлы: 3.\n\n/…/09dec_0300.mp3\n…"
    std::string text = "Запись разделена на файлы: " + std::to_string(pieces.size()) + ".\n";
    for (std::size_t i = 0; i < pieces.size(); ++i)
        text += "\n" + pieces[i].path + "\n" + AfterRecording(DroppedInPiece(pieces, i, dropped));
    return text;
}

void LogPieces(const std::vector<RecordingPiece>& pieces, const CWaveRecorder::DroppedInput& dropped)
{
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        std::fprintf(stderr, "dravellin-recorder: recorded %s\n", pieces[i].path.c_str());
        Log(pieces[i].path, DroppedInPiece(pieces, i, dropped));
    }
}

}  // namespace report
