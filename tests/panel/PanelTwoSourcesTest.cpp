// Two sources at once through a real server (PulseAudio, and PipeWire as the _pipewire twin),
// with keys and clicks on the window and the settings sheet, the files decoded by mpg123:
//  - the microphone and what the speaker plays, mixed and then apart, each at the level it was
//    fed and, apart, each in its own channel; two loud ones mixed are not clipped;
//  - a second microphone whose clock runs 0.5 % fast, unplugged for a while and plugged back:
//    its click train stays with the first one's over half a minute, and the report tells its gap;
//  - two microphones whose sound comes in bursts, paced by pv, one 0.5 % fast: the same;
//  - a second source that is missing, or there but silent, with and without the seconds kept
//    before Record: the message, and the file as it was, byte for byte;
//  - the seconds kept before Record, apart: in the first source's channel only;
//  - the speaker's steady tone keeps its pitch in every tenth of a second once settled, with the
//    machine busy.

#include <cmath>
#include <atomic>
#include <chrono>
#include <fstream>
#include <thread>
#include <utility>

#include <wx/choice.h>
#include <wx/uiaction.h>

#include <wx/checkbox.h>

#include "controls/StatusLamp.h"
#include "engine/play/Mp3Player.h"
#include "panel/PanelFixture.h"
#include "platform/ProfileKeys.h"
#include "settings/MySheetDialog.h"
#include "settings/PageControlIds.h"
#include "support/GuiWait.h"
#include "support/Mp3Maker.h"
#include "support/PulseServer.h"
#include "support/ToneLevel.h"

using testing_support::FifoSource;
using testing_support::MicFeeder;
using testing_support::PulseServer;
using testing_support::ToneLevel;
using testing_support::WaitFor;

namespace {

// One channel of interleaved frames.
std::vector<std::int16_t> Channel(const std::vector<std::int16_t>& pcm, int channels, int channel)
{
    std::vector<std::int16_t> one;
    for (std::size_t i = static_cast<std::size_t>(channel); i < pcm.size(); i += static_cast<std::size_t>(channels))
        one.push_back(pcm[i]);
    return one;
}

double Db(double ratio) { return 20.0 * std::log10(ratio); }

// Where each click of a channel lies (seconds): the loudest sample within 20 ms of the first
// one past the threshold, and nothing more for the next 0.2 s.
std::vector<double> Clicks(const std::vector<std::int16_t>& one, int rate)
{
    std::vector<double> clicks;
    const auto at = [&](std::size_t i) { return std::abs(static_cast<int>(one[i])); };
    for (std::size_t i = 0; i < one.size(); ++i) {
        if (at(i) < 8000)
            continue;
        std::size_t best = i;
        for (std::size_t k = i; k < std::min(one.size(), i + static_cast<std::size_t>(rate) / 50); ++k)
            if (at(k) > at(best))
                best = k;
        clicks.push_back(static_cast<double>(best) / rate);
        i = best + static_cast<std::size_t>(rate) / 5;
    }
    return clicks;
}

// The pitch of a tone in each window of a channel from a time on (Hz; 0 where the tone is not
// there): whole periods between the first and the last upward zero crossing of the window,
// each crossing placed between its two samples.
std::vector<double> Pitches(const std::vector<std::int16_t>& one, int rate, double from, double window)
{
    std::vector<double> pitches;
    const auto size = static_cast<std::size_t>(window * rate);
    for (auto start = static_cast<std::size_t>(from * rate); start + size <= one.size(); start += size) {
        double first = -1, last = -1, power = 0;
        int periods = -1;
        for (std::size_t i = start + 1; i < start + size; ++i) {
            power += static_cast<double>(one[i]) * one[i];
            if (one[i - 1] < 0 && one[i] >= 0) {
                last = static_cast<double>(i - 1) + one[i - 1] / static_cast<double>(one[i - 1] - one[i]);
                first = first < 0 ? last : first;
                ++periods;
            }
        }
        const bool there = std::sqrt(power / static_cast<double>(size)) > 2000 && periods > 0;
        pitches.push_back(there ? periods * rate / (last - first) : 0.0);
    }
    return pitches;
}

class TwoSources : public PanelFixture {
protected:
    void SetUp() override
    {
        if (!PulseServer::Available())
            GTEST_SKIP() << "runs inside scripts/with-pulse";
        PanelFixture::SetUp();
        ASSERT_TRUE(PulseServer::Start());
        // 256 kbps, 44.1 kHz stereo, into the file named on the command line.
        platform::WriteSetting(platform::kBitrate, 10);
        platform::WriteSetting(platform::kSampleFreq, 3);
        platform::WriteSetting(platform::kStereoMode, 1);
        m_path = File("two.mp3");
        testing_support::WriteWholeFile(m_path, "");
    }

    // Sets the second source (the first entry whose label holds part) and apart on the Sources
    // page, the second by the keyboard.
    void ChooseSecond(const std::string& part, bool apart)
    {
        OnSettingsSheet([&](CMySheetDialog& dialog) {
            dialog.SelectPage(CMySheet::kSourcesPage);
            testing_support::PumpEvents(200);
            auto* second = dynamic_cast<wxChoice*>(dialog.FindControl(settings::IDC_SECOND_SOURCE));
            ASSERT_NE(second, nullptr);
            const auto holds = [&](const wxString& label) { return label.utf8_string().find(part) != std::string::npos; };
            ASSERT_TRUE(WaitFor(
                [&] {
                    for (unsigned i = 0; i < second->GetCount(); ++i)
                        if (holds(second->GetString(i)))
                            return true;
                    return false;
                },
                10000))
                << part;
            second->SetFocus();
            wxUIActionSimulator keys;
            for (unsigned i = 0; i < second->GetCount() && !holds(second->GetStringSelection()); ++i) {
                keys.Char(WXK_DOWN);
                testing_support::PumpEvents(100);
            }
            EXPECT_TRUE(holds(second->GetStringSelection())) << second->GetStringSelection().utf8_string();
            auto* box = dynamic_cast<wxCheckBox*>(dialog.FindControl(settings::IDC_SOURCES_APART));
            ASSERT_NE(box, nullptr);
            if (box->GetValue() != apart)
                ClickOn(box);
            EXPECT_EQ(box->GetValue(), apart);
            ClickOn(dialog.FindControl(wxID_OK));
        });
    }

    // Records about seconds with Enter; what the file holds afterwards, decoded.
    std::vector<std::int16_t> Record(double seconds, int* channels, int* rate)
    {
        PressKey(WXK_RETURN);
        EXPECT_TRUE(WaitFor([&] { return m_panel->Lamp()->GetState() == LAMP_RECORD; }, 20000));
        Pump(static_cast<int>(seconds * 1000));
        PressKey(WXK_RETURN);
        EXPECT_TRUE(WaitFor([&] { return m_panel->Player() != nullptr; }, 20000));
        return testing_support::DecodeWithMpg123(m_path, channels, rate);
    }

    std::string m_path;
};

}  // namespace

TEST_F(TwoSources, TheMicrophoneAndTheSpeakerMixedApartAndLoud)
{
    // Microphone 440 Hz, speaker 1000 Hz, both at 6000 (about -15 dBFS), then both at 26000
    // (their sum would reach 52000).
    const int rate = PulseServer::Rate();
    std::atomic<int> micLevel{6000};
    MicFeeder mic(MicFeeder::Signal{
        [&](double t) { return static_cast<std::int16_t>(micLevel.load() * std::sin(2 * M_PI * 440 * t)); }, {}, 1.0, {}});
    const auto speakerFile = [&](const std::string& name, int level) {
        std::vector<std::int16_t> speaker;
        for (int i = 0; i < rate * 60; ++i)
            for (int c = 0; c < PulseServer::Channels(); ++c)
                speaker.push_back(static_cast<std::int16_t>(level * std::sin(2 * M_PI * 1000 * i / rate)));
        std::ofstream(File(name), std::ios::binary)
            .write(reinterpret_cast<const char*>(speaker.data()), static_cast<std::streamsize>(speaker.size() * 2));
        return File(name);
    };
    auto player = std::make_unique<testing_support::SpeakerPlayer>(speakerFile("speaker.raw", 6000));
    OpenFrame(m_path);
    const std::string monitor = "Звук компьютера: ";
    int channels = 0, decodedRate = 0;
    // Measured over the best of four seconds well into each recording: a server's null speaker
    // may give its monitor's first sound only a couple of seconds after the stream began, in
    // bursts, and a test player starved by a busy machine leaves a gap of its own. The speaker's
    // tone is measured over the band 20 Hz either side: a busy machine makes the second source's
    // ratio move (by up to 2 %), which spreads its tone over the neighbouring frequencies.
    const auto level = [&](const std::vector<std::int16_t>& pcm, int channel, double hz, std::size_t from) {
        const std::vector<std::int16_t> one = Channel(pcm, 2, channel);
        double best = 0;
        for (int second = 4; second <= 7; ++second) {
            double power = 0;
            const int band = hz == 1000 ? 20 : 0;
            for (int k = -band; k <= band; ++k) {
                const double a = ToneLevel(one, 1, decodedRate, hz + k, from + static_cast<std::size_t>(second * decodedRate),
                                           static_cast<std::size_t>(decodedRate));
                power += a * a;
            }
            best = std::max(best, std::sqrt(power));
        }
        return best;
    };

    ChooseSecond(monitor, false);
    ASSERT_EQ(platform::ReadSetting(platform::kSecondSource), PulseServer::Monitor());
    auto pcm = Record(9.0, &channels, &decodedRate);
    ASSERT_EQ(channels, 2);
    for (int c = 0; c < 2; ++c) {
        EXPECT_NEAR(Db(level(pcm, c, 440, 0) / 6000), 0.0, 1.0) << "mixed, channel " << c;
        EXPECT_NEAR(Db(level(pcm, c, 1000, 0) / 6000), 0.0, 1.0) << "mixed, channel " << c;
    }

    ChooseSecond(monitor, true);
    ASSERT_EQ(platform::ReadSetting(platform::kSourcesApart), 1);
    std::size_t from = pcm.size() / 2;
    pcm = Record(9.0, &channels, &decodedRate);
    EXPECT_NEAR(Db(level(pcm, 0, 440, from) / 6000), 0.0, 1.0);
    EXPECT_NEAR(Db(level(pcm, 1, 1000, from) / 6000), 0.0, 1.0);
    EXPECT_GE(Db(level(pcm, 0, 440, from) / level(pcm, 1, 440, from)), 50.0);
    EXPECT_GE(Db(level(pcm, 1, 1000, from) / level(pcm, 0, 1000, from)), 50.0);

    // Loud, mixed: what clipping would hold at full scale (a third of the sum's samples) is
    // brought down; only the codec's own overshoot may touch it.
    ChooseSecond(monitor, false);
    ASSERT_EQ(platform::ReadSetting(platform::kSourcesApart), 0);
    micLevel = 26000;
    player = std::make_unique<testing_support::SpeakerPlayer>(speakerFile("loud.raw", 26000));
    from = pcm.size() / 2;
    pcm = Record(9.0, &channels, &decodedRate);
    EXPECT_GT(level(pcm, 0, 1000, from), 8000.0) << "the loud speaker was not recorded";
    EXPECT_GT(level(pcm, 0, 440, from), 8000.0) << "the loud microphone was not recorded";
    std::size_t atFullScale = 0, samples = 0;
    for (std::size_t i = (from + static_cast<std::size_t>(7 * decodedRate)) * 2; i < pcm.size(); ++i, ++samples)
        atFullScale += std::abs(static_cast<int>(pcm[i])) >= 32767;
    EXPECT_LT(static_cast<double>(atFullScale), 0.02 * static_cast<double>(samples));
}

TEST_F(TwoSources, ASecondMicrophoneRunningFastStaysInStepAndComesBack)
{
    const int rate = PulseServer::Rate();
    // A short click every half second of each device's own time; the second's clock 0.5 % fast.
    const auto clicks = [](double t) {
        return static_cast<std::int16_t>(std::fmod(t + 0.25, 0.5) < 0.001 ? 24000 : 0);
    };
    const auto epoch = std::chrono::steady_clock::now();
    MicFeeder first(MicFeeder::Signal{clicks, {}, 1.0, epoch});
    auto second = std::make_unique<FifoSource>("dr_mic2");
    ASSERT_TRUE(second->Ok());
    MicFeeder secondFeeder(MicFeeder::Signal{clicks, FifoSource::FifoOf("dr_mic2"), 1.005, epoch});
    OpenFrame(m_path);
    ChooseSecond("dr_mic2", true);

    PressKey(WXK_RETURN);
    ASSERT_TRUE(WaitFor([&] { return m_panel->Lamp()->GetState() == LAMP_RECORD; }, 20000));
    Pump(12000);
    // Unplugged for three seconds, then back.
    second.reset();
    Pump(3000);
    second = std::make_unique<FifoSource>("dr_mic2");
    ASSERT_TRUE(second->Ok());
    Pump(18000);
    PressKey(WXK_RETURN);
    ASSERT_TRUE(WaitFor([&] { return m_panel->Player() != nullptr; }, 20000));

    bool told = false;
    for (const auto& m : m_messages->Messages())
        told = told || m.text.find("Второй источник пропадал с ") != std::string::npos;
    EXPECT_TRUE(told) << "no report of the second source's gap";

    int channels = 0, decodedRate = 0;
    const auto pcm = testing_support::DecodeWithMpg123(m_path, &channels, &decodedRate);
    ASSERT_EQ(channels, 2);
    ASSERT_EQ(decodedRate, rate);
    const std::vector<double> left = Clicks(Channel(pcm, 2, 0), rate);
    const std::vector<double> right = Clicks(Channel(pcm, 2, 1), rate);
    ASSERT_GE(left.size(), 50u);
    // Every click of the second source has its partner in the first, within 5 ms; only the
    // time it was unplugged has none, and its return is measured afresh (on PipeWire the test
    // microphone's pipe comes back with a backlog that drains over a second or two). The second
    // source enters the recording once its clock is measured, within its first second.
    // On PipeWire two FIFO-fed test microphones differ by 15 to 40 ms that neither the times
    // their sound arrives nor the server's latency tell, and anew after the return: for its
    // first one to three seconds the server runs a source on the other one's clock, so what it
    // delivers then is not at the microphone's pace. There each stretch must keep its own
    // distance: nine in ten clicks within 10 ms of it, none beyond 15 (a drift of 0.5 % would
    // be 50 ms in ten seconds).
    const bool pipeWire = PulseServer::IsPipeWire();
    std::vector<double> offsets;
    std::string where;
    double back = 0, away = 0;
    std::size_t firstBack = 0;  // where the return's offsets start
    for (std::size_t i = 0; i < right.size(); ++i) {
        const double r = right[i];
        if (i > 0 && r - right[i - 1] > 1.0) {
            back = r;
            away = r - right[i - 1];
            firstBack = offsets.size();
        }
        if (r < 1.5 || (back > 0 && r < back + 3.0))
            continue;
        const auto nearest = std::min_element(left.begin(), left.end(),
                                              [r](double a, double b) { return std::fabs(a - r) < std::fabs(b - r); });
        if (std::fabs(*nearest - r) < 0.05) {
            offsets.push_back(r - *nearest);
            where += " " + std::to_string(r).substr(0, 5) + ":" + std::to_string(1000 * (r - *nearest)).substr(0, 5);
        }
    }
    SCOPED_TRACE("clicks (s: ms)" + where);
    ASSERT_FALSE(offsets.empty());
    // Its part is silent while it is away, not filled with what it gave before the loss.
    EXPECT_GT(away, 2.5) << "the second source's clicks resumed at " << back;
    // Within 5 ms on a quiet machine; a loaded one (the feeders and the server run beside the
    // build) adds its own few milliseconds: nine in ten within 7 ms, none beyond 15.
    std::vector<double> off;
    for (auto [from, to] : {std::pair<std::size_t, std::size_t>{0, firstBack}, {firstBack, offsets.size()}}) {
        if (from == to)
            continue;
        std::vector<double> stretch(offsets.begin() + static_cast<std::ptrdiff_t>(from),
                                    offsets.begin() + static_cast<std::ptrdiff_t>(to));
        std::nth_element(stretch.begin(), stretch.begin() + static_cast<std::ptrdiff_t>(stretch.size() / 2), stretch.end());
        const double median = stretch[stretch.size() / 2];
        EXPECT_LE(std::fabs(median), (pipeWire ? 0.045 : 0.005));
        for (std::size_t i = from; i < to; ++i)
            off.push_back(std::fabs(offsets[i] - (pipeWire ? median : 0.0)));
    }
    std::sort(off.begin(), off.end());
    EXPECT_LT(off[off.size() * 9 / 10], pipeWire ? 0.010 : 0.007);
    EXPECT_LT(off.back(), 0.015);
    EXPECT_GE(offsets.size() + 18, left.size()) << "the second source lost clicks outside its gap";
    // None doubled: clicks half a second apart (a jump back into place after the return may
    // shorten one gap by what it corrects).
    for (std::size_t i = 1; i < right.size(); ++i)
        EXPECT_GT(right[i] - right[i - 1], 0.4) << "at " << right[i];
}

// Two microphones whose sound comes in bursts of a tenth of a second, paced by pv (as a pipe
// tunnel or a network source delivers), the second 0.5 % fast, recorded apart for half a
// minute: the second's clicks keep their place beside the first's, where the bursts really put
// them (each pv starts and runs in a rhythm of its own, which puts the two a few milliseconds
// apart, a different few each time: the writers note when each burst went into its FIFO), and
// move by no more than a few milliseconds from one click to the next. The server hands the
// bursts on 0 to 70 ms after they came, in a rhythm of its own, so the lines through the two
// sources' arrivals need their first seconds to settle, and may put the second source into
// place with a jump until then: only from eight seconds on are the clicks measured.
TEST_F(TwoSources, TwoMicrophonesInBurstsStayTogether)
{
    // PipeWire reads each pipe on a schedule of its own, against which pv's rhythm beats: the
    // second source swings slowly about its place, by 12 ms either way on a quiet machine and
    // up to 30 ms beside the other suite, which neither the arrivals nor the server's timing
    // tell.
    if (PulseServer::IsPipeWire())
        GTEST_SKIP() << "PipeWire's pipe reading wanders beyond what this test allows";
    const int rate = PulseServer::Rate();
    const int channels = PulseServer::Channels();
    // A click every half second of real time, at each device's own pace.
    const auto clickFile = [&](const std::string& name, double pace) {
        std::vector<std::int16_t> pcm;
        for (std::size_t n = 0; n < static_cast<std::size_t>(45.0 * rate * pace); ++n) {
            const double t = static_cast<double>(n) / (rate * pace);
            pcm.insert(pcm.end(), static_cast<std::size_t>(channels),
                       static_cast<std::int16_t>(std::fmod(t + 0.25, 0.5) < 0.001 ? 24000 : 0));
        }
        std::ofstream(File(name), std::ios::binary)
            .write(reinterpret_cast<const char*>(pcm.data()), static_cast<std::streamsize>(pcm.size() * 2));
        return File(name);
    };
    const std::string firstFile = clickFile("first.raw", 1.0);
    const std::string secondFile = clickFile("second.raw", 1.005);
    FifoSource second("dr_mic2");
    ASSERT_TRUE(second.Ok());
    OpenFrame(m_path);
    ChooseSecond("dr_mic2", true);
    const double bytesPerSecond = 2.0 * channels * rate;
    const testing_support::PacedWriter firstWriter(firstFile, PulseServer::MicFifo(), bytesPerSecond, 2 * channels);
    const testing_support::PacedWriter secondWriter(secondFile, FifoSource::FifoOf("dr_mic2"), bytesPerSecond * 1.005,
                                                   2 * channels);
    int decodedChannels = 0, decodedRate = 0;
    const auto pcm = Record(33.0, &decodedChannels, &decodedRate);
    ASSERT_EQ(decodedChannels, 2);
    // Where the second source's sound stands against the first's.
    const double apart = secondWriter.Place() - firstWriter.Place();
    ASSERT_TRUE(std::isfinite(apart));
    const std::vector<double> left = Clicks(Channel(pcm, 2, 0), decodedRate);
    const std::vector<double> right = Clicks(Channel(pcm, 2, 1), decodedRate);
    ASSERT_GE(left.size(), 60u);
    // How far each of the second source's clicks lies from where it belongs.
    std::vector<double> errors, times;
    std::string where;
    for (double r : right) {
        const double l = *std::min_element(left.begin(), left.end(),
                                           [r](double a, double b) { return std::fabs(a - r) < std::fabs(b - r); });
        if (r < 8.0 || std::fabs(l - r) > 0.1)
            continue;
        errors.push_back(r - l - apart);
        times.push_back(r);
        where += " " + std::to_string(r).substr(0, 5) + ":" + std::to_string(1000 * (r - l - apart)).substr(0, 5);
    }
    SCOPED_TRACE("the sources stand " + std::to_string(1000 * apart).substr(0, 5) + " ms apart; clicks off (s: ms)" +
                 where);
    EXPECT_GE(errors.size() + 18, left.size()) << "the second source lost clicks";
    ASSERT_FALSE(errors.empty());
    // The lines through the bursts may still lie a few milliseconds off at eight seconds, and
    // move on towards their place over the next ten, which the second source follows: none
    // beyond 12 ms from eight seconds on (one that trailed its lines stood up to 17 off), and
    // none beyond 6 over the last ten. A step above 3 ms between neighbours at most once (a
    // busy machine's late block). Before, they wandered by 90 ms with steps of up to 140.
    double settled = 0;
    std::size_t steps = 0;
    for (std::size_t i = 0; i < errors.size(); ++i) {
        EXPECT_LT(std::fabs(errors[i]), 0.012) << "click " << i;
        if (times[i] > times.back() - 10.0)
            settled = std::max(settled, std::fabs(errors[i]));
        if (i > 0 && std::fabs(errors[i] - errors[i - 1]) > 0.003)
            ++steps;
    }
    EXPECT_LT(settled, 0.006);
    EXPECT_LE(steps, 1u);
}

TEST_F(TwoSources, AStartThatFailsForTheSecondSourceLeavesTheFileAsItWas)
{
    MicFeeder mic(440.0, 8000);
    ASSERT_TRUE(mic.WaitUntilFlowing());
    // A microphone that is there and never gives a sound (nothing is written to its FIFO).
    FifoSource silent("dr_mic2");
    ASSERT_TRUE(silent.Ok());
    const std::string held = File("held.mp3");
    ASSERT_TRUE(testing_support::WriteToneMp3(held, 2.0, 44100, 2, 256));
    for (const int keep : {0, 5}) {
        for (const std::string& second : {std::string("usb-headset-gone"), std::string("dr_mic2")}) {
            SCOPED_TRACE(second + (keep > 0 ? ", with kept seconds" : ""));
            // With kept seconds, a file that holds a recording; without, a new empty one.
            const std::string path = keep > 0 ? held : m_path;
            const std::string before = testing_support::ReadWholeFile(path);
            platform::WriteSetting(platform::kKeepBefore, keep);
            platform::WriteSetting(platform::kSecondSource, second);
            OpenFrame(path);
            if (keep > 0)
                Pump(3000);  // the microphone's seconds are being kept
            m_messages->Clear();
            PressKey(WXK_RETURN);
            // A silent source is given the server's time limit for opening.
            ASSERT_TRUE(WaitFor([&] { return !m_messages->Messages().empty(); }, 15000));
            const std::string text = m_messages->Messages()[0].text;
            if (second == "usb-headset-gone")
                EXPECT_NE(text.find("«usb-headset-gone»"), std::string::npos) << text;
            else
                EXPECT_NE(text.find("Не могу открыть звуковой вход"), std::string::npos) << text;
            EXPECT_EQ(m_panel->Recorder(), nullptr);
            Pump(1500);  // whatever a failed start would still write
            EXPECT_TRUE(testing_support::ReadWholeFile(path) == before) << "the file changed";
            CloseFrame();
        }
    }
}

TEST_F(TwoSources, KeptSecondsApartAreInTheFirstSourcesChannelOnly)
{
    const int rate = PulseServer::Rate();
    MicFeeder mic(440.0, 8000);
    FifoSource second("dr_mic2");
    ASSERT_TRUE(second.Ok());
    MicFeeder secondFeeder(MicFeeder::Signal{
        [](double t) { return static_cast<std::int16_t>(8000 * std::sin(2 * M_PI * 1000 * t)); },
        FifoSource::FifoOf("dr_mic2"), 1.0, {}});
    ASSERT_TRUE(mic.WaitUntilFlowing());
    platform::WriteSetting(platform::kKeepBefore, 5);
    platform::WriteSetting(platform::kSecondSource, std::string("dr_mic2"));
    platform::WriteSetting(platform::kSourcesApart, 1);
    OpenFrame(m_path);
    Pump(3000);  // about three seconds kept
    int channels = 0, decodedRate = 0;
    const auto pcm = Record(4.0, &channels, &decodedRate);
    ASSERT_EQ(channels, 2);
    ASSERT_GE(pcm.size() / 2, static_cast<std::size_t>(5 * rate));
    const std::vector<std::int16_t> left = Channel(pcm, 2, 0), right = Channel(pcm, 2, 1);
    const auto level = [&](const std::vector<std::int16_t>& one, double hz, double from) {
        return ToneLevel(one, 1, decodedRate, hz, static_cast<std::size_t>(from * decodedRate),
                         static_cast<std::size_t>(decodedRate) / 2);
    };
    // The kept seconds begin the file: the microphone on the left, nothing on the right.
    EXPECT_GT(level(left, 440, 0.5), 4000.0);
    double loudest = 0;
    for (std::size_t i = static_cast<std::size_t>(0.2 * decodedRate); i < static_cast<std::size_t>(1.5 * decodedRate); ++i)
        loudest = std::max(loudest, std::fabs(static_cast<double>(right[i])));
    EXPECT_LT(loudest, 50.0) << "the second source's channel carries sound during the kept seconds";
    // Then the second source is heard in its own channel (at its level where the ratio holds
    // still; a busy machine moves it, which spreads the tone).
    double heard = 0;
    for (double at = 3.0; at + 0.5 <= static_cast<double>(right.size()) / decodedRate; at += 0.5)
        heard = std::max(heard, level(right, 1000, at));
    EXPECT_GT(heard, 2000.0) << "the second source is not in its channel";
}

// The speaker's 1000 Hz tone recorded as the second source (apart) while two loops keep both
// cores busy: the two sources' clocks differ by no more than the server's timer does from the
// feeder's, and from 1.5 s after the tone comes in the tone keeps its pitch within 0.1 % in every
// tenth of a second. (PipeWire hands both sources over on its own cycle, up to a cycle late by
// a share that changes with every block.)
TEST_F(TwoSources, TheSpeakersToneKeepsItsPitchOnABusyMachine)
{
    const int rate = PulseServer::Rate();
    MicFeeder mic(440, 6000);
    std::vector<std::int16_t> tone;
    for (int i = 0; i < rate * 60; ++i)
        tone.insert(tone.end(), static_cast<std::size_t>(PulseServer::Channels()),
                    static_cast<std::int16_t>(8000 * std::sin(2 * M_PI * 1000.0 * i / rate)));
    std::ofstream(File("tone.raw"), std::ios::binary)
        .write(reinterpret_cast<const char*>(tone.data()), static_cast<std::streamsize>(tone.size() * 2));
    const testing_support::SpeakerPlayer player(File("tone.raw"));
    OpenFrame(m_path);
    ChooseSecond("Звук компьютера: ", true);
    std::atomic<bool> stop{false};
    std::vector<std::thread> busy;
    for (int i = 0; i < 2; ++i)
        busy.emplace_back([&stop] {
            volatile std::uint64_t n = 0;
            while (!stop.load(std::memory_order_relaxed))
                n = n + 1;
        });
    int channels = 0, decodedRate = 0;
    const auto pcm = Record(18.0, &channels, &decodedRate);
    stop = true;
    for (auto& t : busy)
        t.join();
    ASSERT_EQ(channels, 2);
    const std::vector<std::int16_t> right = Channel(pcm, 2, 1);
    const auto first = std::find_if(right.begin(), right.end(), [](std::int16_t v) { return std::abs(v) > 4000; });
    ASSERT_NE(first, right.end()) << "the speaker's tone is not in the file";
    const double from = static_cast<double>(first - right.begin()) / decodedRate + 1.5;
    // Up to half a second before the end: the second source's last block may end short of it.
    std::vector<double> pitches = Pitches(right, decodedRate, from, 0.1);
    pitches.resize(pitches.size() > 5 ? pitches.size() - 5 : 0);
    std::size_t heard = 0;
    std::string off;
    for (std::size_t i = 0; i < pitches.size(); ++i) {
        heard += pitches[i] > 0.0;
        if (pitches[i] > 0.0 && std::fabs(pitches[i] / 1000.0 - 1.0) > 0.001)
            off += " " + std::to_string(from + 0.1 * static_cast<double>(i)).substr(0, 5) + ":" + std::to_string(pitches[i]);
    }
    EXPECT_EQ(off, "") << "windows off pitch (s:Hz), the tone from " << from - 1.5 << " s";
    EXPECT_GE(heard, pitches.size() * 9 / 10) << "the speaker's tone was missing";
}
