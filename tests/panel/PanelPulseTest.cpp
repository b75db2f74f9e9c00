// The panel through a real PulseAudio server (scripts/with-pulse) and real key presses: the
// server killed while recording and while playing, and no server at all when Enter is pressed;
// the program's own streams: a stopped server, a chosen source, a monitor, a source unplugged.

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include <wx/app.h>
#include <wx/choice.h>
#include <wx/timer.h>

#include "controls/StatusLamp.h"
#include "controls/TimePanel.h"
#include "engine/play/Mp3Player.h"
#include "panel/PanelFixture.h"
#include "platform/ProfileKeys.h"
#include "res/ResourceIds.h"
#include "settings/MySheetDialog.h"
#include "settings/PageControlIds.h"
#include "support/GuiWait.h"
#include "support/Mp3Maker.h"
#include "support/PulseServer.h"
#include "support/ToneLevel.h"

using testing_support::MicFeeder;
using testing_support::LoopWatch;
using testing_support::PulseServer;
using testing_support::Thaw;
using testing_support::ToneLevel;
using testing_support::ReadWholeFile;
using testing_support::WaitFor;

namespace {

constexpr const char* kNoInput =
    "Не могу открыть звуковой вход: нет устройства записи или звуковой сервер недоступен.";

int Count(const std::string& text, const std::string& part)
{
    int n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

// The decoded recording holds at least two seconds of tone a, then at least two seconds of
// tone b, and nothing else: never a again once b began, never silence put in for a gap (the
// encoder's start and the seam may blur a few tenths), never the tone `never`.
void ExpectTonesInTurn(const std::vector<std::int16_t>& pcm, int channels, int rate, double a, double b,
                       double never = 0)
{
    const std::size_t frames = pcm.size() / static_cast<std::size_t>(channels);
    const std::size_t window = static_cast<std::size_t>(rate) / 10;
    int first = 0, second = 0, neither = 0;
    std::string seen;
    for (std::size_t at = 2048; at + window <= frames; at += window) {
        const bool hasA = ToneLevel(pcm, channels, rate, a, at, window) > 1000.0;
        const bool hasB = ToneLevel(pcm, channels, rate, b, at, window) > 1000.0;
        if (never > 0) {
            EXPECT_LT(ToneLevel(pcm, channels, rate, never, at, window), 300.0) << "at frame " << at;
        }
        seen += hasA ? 'a' : hasB ? 'b' : '.';
        if (hasA && second > 0) {
            ADD_FAILURE() << "the first tone after the second at frame " << at;
        }
        first += hasA ? 1 : 0;
        second += hasB ? 1 : 0;
        neither += hasA || hasB ? 0 : 1;
    }
    EXPECT_GE(first, 20) << seen;
    EXPECT_GE(second, 20) << seen;
    EXPECT_LE(neither, 4) << "silence or something else in the file: " << seen;
}

class PulsePanel : public PanelFixture {
protected:
    void SetUp() override
    {
        if (!PulseServer::Available())
            GTEST_SKIP() << "runs inside scripts/with-pulse";
        PanelFixture::SetUp();
        ASSERT_TRUE(PulseServer::Start());
        // 128 kbps, 44.1 kHz stereo: the server's own format.
        platform::WriteSetting(platform::kBitrate, 7);
        platform::WriteSetting(platform::kSampleFreq, 3);
        platform::WriteSetting(platform::kStereoMode, 1);
    }

    void OpenWithFile(const std::string& path)
    {
        platform::WriteSetting(platform::kLoader, 2);
        platform::WriteSetting(platform::kLastFile, path);
        OpenFrame();
        ASSERT_NE(m_panel->Player(), nullptr);
    }

    bool WaitForLamp(int state, int ms = 20000)
    {
        return WaitFor([&] { return m_panel->Lamp()->GetState() == state; }, ms);
    }

    // The first message shown that starts with this text, or nullptr.
    const testing_support::CapturedMessage* FindMessageStarting(const std::string& text) const
    {
        for (const auto& m : m_messages->Messages())
            if (m.text.compare(0, text.size(), text) == 0)
                return &m;
        return nullptr;
    }

    // The first message shown with this text, or nullptr. (Dropped input, which a busy machine
    // may cause, and a reload that cannot open the output add messages of their own.)
    const testing_support::CapturedMessage* FindMessage(const std::string& text) const
    {
        for (const auto& m : m_messages->Messages())
            if (m.text == text)
                return &m;
        return nullptr;
    }
};

}  // namespace

// Killed 3 s into a recording and started again 5 s later, with another tone at the
// microphone: meanwhile the lamp shows its waiting picture, the title says so and the time
// display holds; then the recording goes on into the same file. The file, decoded by mpg123,
// holds the first tone, then the second, and nothing of the gap; the report names the gap.
TEST_F(PulsePanel, ServerRestartedWhileRecordingWaitsAndGoesOnIntoTheSameFile)
{
    auto first = std::make_unique<MicFeeder>(440.0, 8000);
    const std::string path = File("interview.mp3");
    testing_support::WriteWholeFile(path, "");
    OpenWithFile(path);
    const std::string title = Title();

    PressKey(WXK_RETURN);
    ASSERT_TRUE(WaitForLamp(LAMP_RECORD)) << "the recording did not start";
    ASSERT_TRUE(WaitFor([&] { return m_panel->TimePanel()->GetSeconds() >= 3; }, 20000));
    ASSERT_TRUE(PulseServer::Kill());
    ASSERT_TRUE(WaitForLamp(LAMP_WAIT, 6000)) << "the recording does not wait for its input";
    EXPECT_EQ(Title(), title + " (запись ждёт звуковой вход)");
    const int held = m_panel->TimePanel()->GetSeconds();
    first.reset();
    Pump(5000);
    EXPECT_EQ(m_panel->TimePanel()->GetSeconds(), held) << "the time display ran on while waiting";
    EXPECT_EQ(m_panel->Lamp()->GetState(), LAMP_WAIT);
    EXPECT_TRUE(m_messages->Messages().empty());

    MicFeeder second(1000.0, 8000);
    ASSERT_TRUE(PulseServer::Start());
    const auto back = std::chrono::steady_clock::now();
    ASSERT_TRUE(WaitForLamp(LAMP_RECORD, 10000)) << "the recording did not go on";
    std::printf("resumed %.2f s after the server was back\n",
                std::chrono::duration<double>(std::chrono::steady_clock::now() - back).count());
    EXPECT_EQ(Title(), title);
    ASSERT_TRUE(WaitFor([&] { return m_panel->TimePanel()->GetSeconds() >= held + 3; }, 20000));
    PressKey(WXK_RETURN);
    ASSERT_TRUE(WaitForLamp(LAMP_STOP));

    const auto* report = FindMessageStarting(path + "\nЗвуковой вход пропадал с 0:00:0");
    ASSERT_NE(report, nullptr) << "the gap was not told";
    EXPECT_EQ(report->icon, platform::MessageIcon::Information);
    EXPECT_EQ(Count(report->text, "Звуковой вход пропадал"), 1) << report->text;
    int channels = 0;
    int rate = 0;
    const auto pcm = testing_support::DecodeWithMpg123(path, &channels, &rate);
    ASSERT_GT(channels * rate, 0);
    ExpectTonesInTurn(pcm, channels, rate, 440.0, 1000.0);
}

// The server killed and started again every few seconds through one recording: each gap is
// waited out and told, no thread is left behind per gap, Stop pressed while waiting ends the
// recording as usual, and the file decodes from start to end with the tone throughout. Closing
// the window while waiting (Alt+F4, SIGTERM and the session's end all close it) keeps what was
// recorded too.
TEST_F(PulsePanel, RepeatedRestartsAreEachWaitedOutAndToldAndStopOrCloseWhileWaitingEndCleanly)
{
    MicFeeder mic(440.0, 8000);
    const std::string path = File("night.mp3");
    testing_support::WriteWholeFile(path, "");
    OpenWithFile(path);
    const std::string title = Title();
    const auto threads = [] {
        std::size_t n = 0;
        for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task"))
            n += entry.is_directory() ? 1 : 0;
        return n;
    };

    PressKey(WXK_RETURN);
    ASSERT_TRUE(WaitForLamp(LAMP_RECORD)) << "the recording did not start";
    ASSERT_TRUE(WaitFor([&] { return m_panel->TimePanel()->GetSeconds() >= 2; }, 20000));
    std::size_t threadsAfterFirstGap = 0;
    constexpr int kRestarts = 4;
    for (int gap = 0; gap < kRestarts; ++gap) {
        ASSERT_TRUE(PulseServer::Kill());
        ASSERT_TRUE(WaitForLamp(LAMP_WAIT, 6000)) << "gap " << gap;
        Pump(1500);
        ASSERT_TRUE(PulseServer::Start());
        ASSERT_TRUE(WaitForLamp(LAMP_RECORD, 10000)) << "gap " << gap;
        const int at = m_panel->TimePanel()->GetSeconds();
        ASSERT_TRUE(WaitFor([&] { return m_panel->TimePanel()->GetSeconds() >= at + 2; }, 20000));
        if (gap == 0)
            threadsAfterFirstGap = threads();
    }
    EXPECT_LE(threads(), threadsAfterFirstGap) << "threads left behind by the gaps";
    ASSERT_TRUE(PulseServer::Kill());
    ASSERT_TRUE(WaitForLamp(LAMP_WAIT, 6000));
    PressKey(WXK_RETURN);
    ASSERT_TRUE(WaitForLamp(LAMP_STOP)) << "Stop while waiting did not end the recording";
    EXPECT_EQ(Title(), title);
    const auto* report = FindMessageStarting(path + "\nЗвуковой вход пропадал с 0:00:0");
    ASSERT_NE(report, nullptr) << "the gaps were not told";
    EXPECT_EQ(Count(report->text, "Звуковой вход пропадал"), kRestarts + 1) << report->text;
    int channels = 0;
    int rate = 0;
    auto pcm = testing_support::DecodeWithMpg123(path, &channels, &rate);
    ASSERT_GT(channels * rate, 0);
    const std::size_t frames = pcm.size() / static_cast<std::size_t>(channels);
    // At least 1.5 s of each stretch (the time display runs by its own timer, and a killed
    // server takes what it had not delivered yet with it).
    EXPECT_GE(frames, static_cast<std::size_t>(rate) * 3 * (kRestarts + 1) / 2);
    const std::size_t window = static_cast<std::size_t>(rate) / 10;
    int quiet = 0;
    for (std::size_t at = 2048; at + window <= frames; at += window)
        quiet += ToneLevel(pcm, channels, rate, 440.0, at, window) > 1000.0 ? 0 : 1;
    EXPECT_LE(quiet, 2 * (kRestarts + 1)) << "tenths of a second without the tone";

    // Once more, and the window closed while waiting.
    const std::size_t before = ReadWholeFile(path).size();
    ASSERT_TRUE(PulseServer::Start());
    PressKey(WXK_RETURN);
    ASSERT_TRUE(WaitForLamp(LAMP_RECORD)) << "the recording did not start again";
    ASSERT_TRUE(WaitFor([&] { return m_panel->TimePanel()->GetSeconds() >= 2; }, 20000));
    ASSERT_TRUE(PulseServer::Kill());
    ASSERT_TRUE(WaitForLamp(LAMP_WAIT, 6000));
    ASSERT_TRUE(PulseServer::Start());  // the window closes before the next attempt sees it
    EXPECT_EQ(m_panel->Lamp()->GetState(), LAMP_WAIT);
    CloseFrame();
    EXPECT_GT(ReadWholeFile(path).size(), before + 16000u);
    pcm = testing_support::DecodeWithMpg123(path, &channels, &rate);
    EXPECT_GE(pcm.size() / static_cast<std::size_t>(channels), frames + static_cast<std::size_t>(rate) * 3 / 2);
}

// Killed while playing: the sound stops as at the end of the file, with a message; the window
// keeps working. Started again, Space plays; stopped while playing (the server keeps the
// connection and answers nothing), the same message.
TEST_F(PulsePanel, ServerKilledWhilePlayingStopsWithAMessage)
{
    const std::string path = File("music.mp3");
    ASSERT_TRUE(testing_support::WriteToneMp3(path, 8.0, 44100, 2, 128));
    OpenWithFile(path);

    PressKey(' ');
    ASSERT_TRUE(WaitForLamp(LAMP_PLAY)) << "Space did not play";
    ASSERT_TRUE(WaitFor([&] { return m_panel->TimePanel()->GetSeconds() >= 1; }, 20000));
    ASSERT_TRUE(PulseServer::Kill());
    EXPECT_TRUE(WaitForLamp(LAMP_STOP, 6000)) << "playing claims to continue";
    const std::string lost =
        path + "\nПропал звуковой выход (устройство или звуковой сервер), воспроизведение остановлено.\n";
    ASSERT_TRUE(WaitFor([&] { return FindMessage(lost) != nullptr; }, 6000)) << "no message about the loss";
    EXPECT_EQ(FindMessage(lost)->icon, platform::MessageIcon::Stop);
    EXPECT_FALSE(m_panel->IsTimerRunning(kPlayTimerId));
    Pump(300);

    ASSERT_TRUE(PulseServer::Start());
    m_messages->Clear();
    Thaw thaw;
    PressKey(' ');
    ASSERT_TRUE(WaitForLamp(LAMP_PLAY)) << "Space did not play once the server was back";
    ASSERT_TRUE(WaitFor([&] { return m_panel->TimePanel()->GetSeconds() >= 3; }, 20000));
    ASSERT_TRUE(PulseServer::Freeze(true));
    EXPECT_TRUE(WaitFor([&] { return FindMessage(lost) != nullptr; }, 6000)) << "a stopped server went unnoticed";
    EXPECT_NE(m_panel->Lamp()->GetState(), LAMP_PLAY);
}

// No server at all: Enter says that the sound input cannot be opened, and nothing records.
TEST_F(PulsePanel, WithoutAServerEnterSaysSoAndNothingRecords)
{
    const std::string path = File("none.mp3");
    testing_support::WriteWholeFile(path, "");
    OpenWithFile(path);
    ASSERT_TRUE(PulseServer::Kill());

    PressKey(WXK_RETURN);
    ASSERT_TRUE(WaitFor([&] { return !m_messages->Messages().empty(); }, 20000));
    Pump(300);
    EXPECT_EQ(m_messages->Messages()[0].icon, platform::MessageIcon::Stop);
    EXPECT_EQ(m_messages->Messages()[0].text,
              "Не могу открыть звуковой вход: нет устройства записи или звуковой сервер недоступен.");
    EXPECT_EQ(m_panel->Recorder(), nullptr);
    EXPECT_NE(m_panel->Lamp()->GetState(), LAMP_RECORD);
    EXPECT_EQ(ReadWholeFile(path), "");
}

// A server that takes the connection and then answers nothing (stopped): Enter pressed again
// while the program waits is handled at once (the attempt ends, nothing comes of it later),
// and a Record left waiting gives the usual message within 5 s while the window runs on.
TEST_F(PulsePanel, AStoppedServerNeitherFreezesTheWindowNorHoldsKeys)
{
    const std::string path = File("stopped.mp3");
    testing_support::WriteWholeFile(path, "");
    OpenWithFile(path);
    Thaw thaw;
    ASSERT_TRUE(PulseServer::Freeze(true));

    PressKey(WXK_RETURN);
    Pump(300);
    PressKey(WXK_RETURN);
    EXPECT_TRUE(WaitFor([&] { return m_panel->Recorder() == nullptr; }, 1000)) << "the second Enter waited";
    Pump(6000);
    EXPECT_TRUE(m_messages->Messages().empty()) << m_messages->Messages()[0].text;
    EXPECT_EQ(m_panel->Recorder(), nullptr) << "a held key was replayed";

    LoopWatch watch;
    const auto pressed = std::chrono::steady_clock::now();
    PressKey(WXK_RETURN);
    ASSERT_TRUE(WaitFor([&] { return !m_messages->Messages().empty(); }, 10000));
    const auto waited = std::chrono::steady_clock::now() - pressed;
    EXPECT_LE(waited, std::chrono::milliseconds(5500));
    EXPECT_EQ(m_messages->Messages()[0].text, kNoInput);
    EXPECT_LT(watch.longest, std::chrono::milliseconds(500)) << "the window was blocked";
    EXPECT_NE(m_panel->Lamp()->GetState(), LAMP_RECORD);
    EXPECT_EQ(ReadWholeFile(path), "");

    // Once it answers again Enter records; stopped again after that (the connection made),
    // the stream it then asks for gets no answer: the same message, as soon.
    ASSERT_TRUE(PulseServer::Freeze(false));
    MicFeeder mic(440.0, 8000);
    m_messages->Clear();
    PressKey(WXK_RETURN);
    ASSERT_TRUE(WaitForLamp(LAMP_RECORD)) << "Enter did not record once the server answered";
    PressKey(WXK_RETURN);
    ASSERT_TRUE(WaitForLamp(LAMP_STOP));
    m_messages->Clear();
    ASSERT_TRUE(PulseServer::Freeze(true));
    const auto again = std::chrono::steady_clock::now();
    PressKey(WXK_RETURN);
    ASSERT_TRUE(WaitFor([&] { return !m_messages->Messages().empty(); }, 10000));
    EXPECT_LE(std::chrono::steady_clock::now() - again, std::chrono::milliseconds(5500));
    EXPECT_EQ(m_messages->Messages()[0].text, kNoInput);
    EXPECT_EQ(m_panel->Recorder(), nullptr);
}

// A chosen source is recorded (the stream says who records), and when it is unplugged the
// recording waits for it, never for another source; plugged back (at another rate, and mono),
// the recording goes on into the same file, in its own format: its first tone, then the
// second, never the default source's.
TEST_F(PulsePanel, AChosenSourceIsRecordedAndUnpluggedAndPluggedBackGoesOn)
{
    MicFeeder mic(440.0, 8000);  // the default source: must never be heard
    auto chosen = std::make_unique<testing_support::ToneSource>("dr_tone", 1000.0);
    ASSERT_TRUE(chosen->Ok());
    platform::WriteSetting(platform::kSource, std::string("dr_tone"));
    const std::string path = File("chosen.mp3");
    testing_support::WriteWholeFile(path, "");
    OpenWithFile(path);

    PressKey(WXK_RETURN);
    ASSERT_TRUE(WaitForLamp(LAMP_RECORD)) << "the recording did not start";
    const std::string outputs = PulseServer::Pactl("list source-outputs");
    for (const char* property :
         {"application.name = \"Dravellin Recorder\"", "application.id = \"example.dravellin.Recorder\"",
          "application.icon_name = \"example.dravellin.Recorder\"", "media.name = \"Запись\"",
          "media.role = \"production\""})
        EXPECT_NE(outputs.find(property), std::string::npos) << property << " not in\n" << outputs;
    ASSERT_TRUE(WaitFor([&] { return m_panel->TimePanel()->GetSeconds() >= 3; }, 20000));
    ASSERT_TRUE(chosen->Remove());
    ASSERT_TRUE(WaitForLamp(LAMP_WAIT, 6000)) << "the recording does not wait for its source";
    Pump(3000);
    EXPECT_EQ(m_panel->Lamp()->GetState(), LAMP_WAIT) << "went on without the chosen source";
    // Back with another rate and channel count: the recording's format stays.
    chosen = std::make_unique<testing_support::ToneSource>("dr_tone", 1500.0, 22050, 1);
    ASSERT_TRUE(chosen->Ok());
    ASSERT_TRUE(WaitForLamp(LAMP_RECORD, 10000)) << "the recording did not go on";
    const int resumed = m_panel->TimePanel()->GetSeconds();
    ASSERT_TRUE(WaitFor([&] { return m_panel->TimePanel()->GetSeconds() >= resumed + 3; }, 20000));
    PressKey(WXK_RETURN);
    ASSERT_TRUE(WaitForLamp(LAMP_STOP));
    EXPECT_EQ(platform::ReadSetting(platform::kSource), "dr_tone");
    const auto* report = FindMessageStarting(path + "\nЗвуковой вход пропадал с 0:00:0");
    ASSERT_NE(report, nullptr) << "the gap was not told";
    EXPECT_EQ(Count(report->text, "Звуковой вход пропадал"), 1) << report->text;

    int channels = 0;
    int rate = 0;
    const auto pcm = testing_support::DecodeWithMpg123(path, &channels, &rate);
    EXPECT_EQ(channels, 2);
    EXPECT_EQ(rate, 44100);
    ASSERT_GT(channels * rate, 0);
    ExpectTonesInTurn(pcm, channels, rate, 1000.0, 1500.0, 440.0);
}

// "What the computer plays": the speaker's monitor, chosen as the source, records the tone
// that plays meanwhile.
TEST_F(PulsePanel, AMonitorRecordsWhatPlays)
{
    const std::string tone = File("tone.raw");
    ASSERT_TRUE(testing_support::WriteTonePcm(tone, 30.0, PulseServer::Rate(), PulseServer::Channels()));
    testing_support::SpeakerPlayer player(tone);  // 440 Hz left, 660 Hz right
    platform::WriteSetting(platform::kSource, PulseServer::Monitor());
    const std::string path = File("monitor.mp3");
    testing_support::WriteWholeFile(path, "");
    OpenWithFile(path);
    PressKey(WXK_RETURN);
    ASSERT_TRUE(WaitForLamp(LAMP_RECORD)) << "the recording did not start";
    ASSERT_TRUE(WaitFor([&] { return m_panel->TimePanel()->GetSeconds() >= 3; }, 20000));
    PressKey(WXK_RETURN);
    ASSERT_TRUE(WaitForLamp(LAMP_STOP));

    int channels = 0;
    int rate = 0;
    const auto pcm = testing_support::DecodeWithMpg123(path, &channels, &rate);
    ASSERT_GT(channels * rate, 0);
    const std::size_t frames = pcm.size() / static_cast<std::size_t>(channels);
    ASSERT_GE(frames, static_cast<std::size_t>(rate));
    EXPECT_GT(ToneLevel(pcm, channels, rate, 440.0, frames / 2, static_cast<std::size_t>(rate) / 10), 1000.0);
}

// A chosen source that is not there: a message names it, nothing is recorded, the choice stays;
// also for a stored name no server would take (odd characters, very long).
TEST_F(PulsePanel, AMissingChosenSourceIsNamedAndNothingRecords)
{
    const std::string odd = "odd \t\"name\"\x01 " + std::string(5000, 'x');
    // A source stored with the name it was shown by is named so while it is gone.
    const std::pair<std::string, std::string> cases[] = {
        {"usb-headset-gone", ""}, {odd, ""}, {"usb-headset-labelled", "Гарнитура 😀 USB"}};
    for (const auto& [source, label] : cases) {
        SCOPED_TRACE(source.substr(0, 20));
        platform::WriteSetting(platform::kSource, source);
        platform::WriteSetting(platform::kSourceLabel, label);
        const std::string stored = platform::ReadSetting(platform::kSource);
        ASSERT_FALSE(stored.empty());
        const std::string shown = label.empty() ? stored : label;
        const std::string path = File("missing.mp3");
        testing_support::WriteWholeFile(path, "");
        OpenWithFile(path);
        m_messages->Clear();
        PressKey(WXK_RETURN);
        ASSERT_TRUE(WaitFor([&] { return !m_messages->Messages().empty(); }, 8000));
        const std::string named = shown.size() > 120 ? shown.substr(0, 120) + "…" : shown;
        EXPECT_NE(m_messages->Messages()[0].text.find("«" + named + "»"), std::string::npos)
            << m_messages->Messages()[0].text.substr(0, 200);
        EXPECT_EQ(m_panel->Recorder(), nullptr);
        EXPECT_EQ(ReadWholeFile(path), "");
        EXPECT_EQ(platform::ReadSetting(platform::kSource), stored);
        CloseFrame();
    }
}

// The sources page lists the server's sources as they come and go; choosing "what the computer
// plays" there stores the monitor's name, and the lamp then names it.
TEST_F(PulsePanel, TheSourcesPageListsTheSourcesAndTheLampNamesTheChoice)
{
    const std::string path = File("page.mp3");
    testing_support::WriteWholeFile(path, "");
    OpenWithFile(path);
    EXPECT_NE(m_panel->Lamp()->Description().find("По умолчанию"), std::string::npos) << m_panel->Lamp()->Description();

    std::vector<std::string> before;
    std::vector<std::string> withSine;
    std::vector<std::string> after;
    bool chosen = false;
    wxTheApp->CallAfter([&] {
        CMySheetDialog* dialog = m_panel->Settings().OpenDialog();
        ASSERT_NE(dialog, nullptr);
        dialog->SelectPage(CMySheet::kSourcesPage);
        auto* choice = dynamic_cast<wxChoice*>(dialog->FindWindow(settings::IDC_SOURCE));
        ASSERT_NE(choice, nullptr);
        auto labels = [&] {
            std::vector<std::string> all;
            for (unsigned i = 0; i < choice->GetCount(); ++i)
                all.push_back(choice->GetString(i).utf8_string());
            return all;
        };
        WaitFor([&] { return choice->GetCount() >= 3; }, 5000);
        before = labels();
        testing_support::ToneSource plugged("dr_plugged", 1000.0);
        WaitFor([&] { return choice->GetCount() == before.size() + 1; }, 5000);
        withSine = labels();
        plugged.Remove();
        WaitFor([&] { return choice->GetCount() == before.size(); }, 5000);
        after = labels();
        for (unsigned i = 0; i < choice->GetCount(); ++i) {
            if (choice->GetString(i).utf8_string().rfind("Звук компьютера: ", 0) == 0) {
                choice->SetSelection(static_cast<int>(i));
                wxCommandEvent event(wxEVT_CHOICE, choice->GetId());
                event.SetInt(static_cast<int>(i));
                choice->GetEventHandler()->ProcessEvent(event);
                chosen = true;
                break;
            }
        }
        dialog->EndModal(wxID_OK);
    });
    Command(res::ID_SETTINGS);

    ASSERT_GE(before.size(), 3u);
    EXPECT_EQ(before[0], "По умолчанию");
    EXPECT_EQ(withSine.size(), before.size() + 1) << "a new source did not appear";
    EXPECT_EQ(after, before) << "a removed source stayed";
    ASSERT_TRUE(chosen) << "no output's monitor in the list";
    EXPECT_EQ(platform::ReadSetting(platform::kSource), PulseServer::Monitor());
    EXPECT_EQ(platform::ReadSetting(platform::kSourceLabel).rfind("Звук компьютера: ", 0), 0u);
    EXPECT_NE(m_panel->Lamp()->Description().find("Звук компьютера: "), std::string::npos)
        << m_panel->Lamp()->Description();
}

// With "По умолчанию" the recording follows the desktop's default input: when the default
// source is unplugged, the recording goes on from the next one and says so afterwards.
TEST_F(PulsePanel, UnpluggingTheDefaultSourceIsToldAfterTheRecording)
{
    MicFeeder mic(440.0, 8000);
    testing_support::ToneSource tone("dr_default_tone", 1000.0);
    ASSERT_TRUE(tone.Ok());
    struct DefaultBack {
        ~DefaultBack() { PulseServer::Pactl("set-default-source " + std::string(std::getenv("DR_PULSE_SOURCE"))); }
    } defaultBack;
    PulseServer::Pactl("set-default-source dr_default_tone");
    const std::string path = File("default.mp3");
    testing_support::WriteWholeFile(path, "");
    OpenWithFile(path);

    PressKey(WXK_RETURN);
    ASSERT_TRUE(WaitForLamp(LAMP_RECORD)) << "the recording did not start";
    ASSERT_TRUE(WaitFor([&] { return m_panel->TimePanel()->GetSeconds() >= 2; }, 20000));
    ASSERT_TRUE(tone.Remove());
    ASSERT_TRUE(WaitFor([&] { return m_panel->TimePanel()->GetSeconds() >= 5; }, 20000));
    EXPECT_EQ(m_panel->Lamp()->GetState(), LAMP_RECORD) << "the recording stopped";
    EXPECT_TRUE(m_messages->Messages().empty());
    PressKey(WXK_RETURN);
    ASSERT_TRUE(WaitForLamp(LAMP_STOP));
    ASSERT_TRUE(WaitFor([&] { return !m_messages->Messages().empty(); }, 3000)) << "the change was not told";
    const std::string& text = m_messages->Messages()[0].text;
    EXPECT_EQ(text.rfind(path + "\nИсточник звука сменился с 0:00:0", 0), 0u) << text;
}
