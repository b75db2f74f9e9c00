// Voice activation through the real window: switched on and set on the "Автозапись" page with clicks
// and typing, then a recording of an input with two tone bursts among long silences, decoded
// by libmpg123: the file holds each burst with its pre-roll and hold, and nothing else.

#include <cmath>
#include <fstream>
#include <functional>

#include <wx/app.h>
#include <wx/bookctrl.h>
#include <wx/checkbox.h>
#include <wx/spinctrl.h>
#include <wx/timer.h>
#include <wx/uiaction.h>

#include "controls/StatusLamp.h"
#include "engine/record/Mp3TestFiles.h"
#include "engine/record/WaveRecorder.h"
#include "panel/PanelFixture.h"
#include "platform/ProfileKeys.h"
#include "settings/MySheetDialog.h"
#include "settings/PageControlIds.h"
#include "support/GuiWait.h"

using namespace platform;
using testing_support::PumpEvents;
using testing_support::WaitFor;

namespace {

constexpr int kRate = 11025;
// The encoder's delay plus the decoder's: where input sample 0 lands in the decoded audio.
constexpr std::size_t kCodecDelay = 1105;

// Silence with a little noise (about -60 dBFS) or a tone at half of full scale.
void Append(std::vector<std::int16_t>& pcm, double seconds, double hz)
{
    const std::size_t n = static_cast<std::size_t>(seconds * kRate);
    for (std::size_t i = 0; i < n; ++i)
        pcm.push_back(hz > 0 ? static_cast<std::int16_t>(16000 * std::sin(2 * M_PI * hz * i / kRate))
                             : static_cast<std::int16_t>((i * 7919 % 61) - 30));
}

void WriteRaw(const std::string& path, const std::vector<std::int16_t>& pcm)
{
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(pcm.data()), static_cast<std::streamsize>(pcm.size() * 2));
}

struct Segment {
    double start;
    double length;
    double hz;
};

// The tone segments of decoded mono audio, from its envelope in 5 ms steps; times in seconds
// of the input (the codec's delay taken off).
std::vector<Segment> ToneSegments(const record_test::DecodedAudio& audio)
{
    const std::size_t step = kRate / 200;
    std::vector<Segment> segments;
    bool in = false;
    std::size_t begin = 0, crossings = 0;
    // One quiet step past the end closes a tone that lasts to the end.
    for (std::size_t at = kCodecDelay; at <= audio.samples.size(); at += step) {
        double energy = 0;
        for (std::size_t i = at; i < at + step && i < audio.samples.size(); ++i)
            energy += static_cast<double>(audio.samples[i]) * audio.samples[i];
        const bool loud = at + step <= audio.samples.size() && std::sqrt(energy / step) > 3000;
        if (loud && !in)
            begin = at, crossings = 0;
        if (loud)
            for (std::size_t i = at + 1; i < at + step; ++i)
                crossings += (audio.samples[i - 1] < 0) != (audio.samples[i] < 0);
        if (!loud && in) {
            const double length = static_cast<double>(at - begin) / kRate;
            segments.push_back({static_cast<double>(begin - kCodecDelay) / kRate, length, crossings / 2.0 / length});
        }
        in = loud;
    }
    return segments;
}

class VoiceTest : public PanelFixture {};

TEST_F(VoiceTest, OnlyTheBurstsWithTheirPreRollAndHoldAreWrittenOneAfterTheOther)
{
    WriteSetting(kLoader, 1);  // a new, empty file at start-up
    WriteSetting(kLastFile, File("old.mp3"));
    // Out of its range: the default (-40 dBFS) is used, and the file keeps what it says.
    WriteProfileInt("Record", "VoiceThreshold", 7);
    OpenFrame();
    ExpectState(State::Stopped);

    OnSettingsSheet([&](CMySheetDialog& dialog) {
        dialog.GetBookCtrl()->SetSelection(CMySheet::kAutoPage);  // as a click on its tab
        PumpEvents(200);
        auto* threshold = dynamic_cast<wxSpinCtrl*>(dialog.FindControl(settings::IDC_VOICE_THRESHOLD));
        ASSERT_NE(threshold, nullptr);
        EXPECT_EQ(threshold->GetValue(), -40);
        EXPECT_FALSE(threshold->IsEnabled());
        ClickOn(dialog.FindControl(settings::IDC_VOICE_ACTIVATED));
        EXPECT_TRUE(threshold->IsEnabled());
        // From the check box, two tabs reach the hold.
        wxUIActionSimulator keys;
        keys.Char(WXK_TAB);
        keys.Char(WXK_TAB);
        PumpEvents(100);
        EXPECT_EQ(wxWindow::FindFocus(), dialog.FindControl(settings::IDC_VOICE_HOLD));
        keys.Char('A', wxMOD_CONTROL);
        keys.Text("2");
        keys.Char(WXK_TAB);
        PumpEvents(150);
        ClickOn(dialog.FindControl(wxID_OK));
    });
    Pump(300);
    EXPECT_EQ(GetProfileInt("Record", "VoiceActivated", 0), 1);
    EXPECT_EQ(GetProfileInt("Record", "VoiceHold", 0), 2);
    EXPECT_EQ(GetProfileInt("Record", "VoiceThreshold", 0), 7);

    // 3 s of quiet, 1 s of 440 Hz, 6 s of quiet, 0.6 s of 1000 Hz, then quiet.
    std::vector<std::int16_t> input;
    Append(input, 3.0, 0);
    Append(input, 1.0, 440);
    Append(input, 6.0, 0);
    Append(input, 0.6, 1000);
    Append(input, 30.0, 0);
    WriteRaw(File("input.raw"), input);

    PressKey(WXK_RETURN);
    ASSERT_TRUE(WaitFor([&] { return m_panel->Recorder() != nullptr && m_panel->Recorder()->IsCapturing(); }, 5000));
    const int chunkSamples = m_panel->Recorder()->SampleCount();
    // Listening: the dot, and nothing written.
    EXPECT_TRUE(WaitFor([&] { return m_panel->Lamp()->GetState() == LAMP_LISTEN; }, 2000));
    EXPECT_EQ(m_panel->Recorder()->ChunksEncoded(), 0u);
    EXPECT_TRUE(WaitFor([&] { return m_panel->Lamp()->Description().find("ждёт звука громче порога") != std::string::npos; },
                        2000))
        << m_panel->Lamp()->Description();
    EXPECT_TRUE(WaitFor([&] { return m_panel->Lamp()->GetState() == LAMP_RECORD; }, 5000)) << "never wrote";
    EXPECT_TRUE(WaitFor([&] { return m_panel->Lamp()->GetState() == LAMP_LISTEN; }, 5000)) << "never paused";
    Pump(11000);
    PressKey(WXK_RETURN);
    ASSERT_TRUE(WaitFor([&] { return m_panel->Recorder() == nullptr; }, 5000));

    ASSERT_EQ(m_messages->Messages().size(), 1u);
    const std::string report = m_messages->Messages()[0].text;
    EXPECT_NE(report.find("Записано фрагментов по голосу: 2, всего 0:00:0"), std::string::npos) << report;

    const auto decoded = record_test::DecodeMp3(ReadSetting(kLastFile));
    ASSERT_TRUE(decoded.ok);
    ASSERT_EQ(decoded.rate, kRate);
    const std::vector<Segment> tones = ToneSegments(decoded);
    ASSERT_EQ(tones.size(), 2u);
    // One encoder chunk (the gate's step): an MP3 frame.
    const double frame = static_cast<double>(chunkSamples) / kRate;
    // The first burst starts with its second of pre-roll: the chunk the tone began in, and the
    // whole chunks of the second before it.
    EXPECT_GE(tones[0].start, 1.0 - frame);
    EXPECT_LE(tones[0].start, 1.0 + 2 * frame);
    EXPECT_NEAR(tones[0].length, 1.0, frame);
    EXPECT_NEAR(tones[0].hz, 440, 20);
    // Then its two seconds of hold, and the second burst's pre-roll: three seconds of the six.
    const double gap = tones[1].start - (tones[0].start + tones[0].length);
    EXPECT_GE(gap, 3.0 - frame);
    EXPECT_LE(gap, 3.0 + 3 * frame);
    EXPECT_NEAR(tones[1].length, 0.6, frame);
    EXPECT_NEAR(tones[1].hz, 1000, 40);
    // And the second burst's hold ends the file.
    const double end = static_cast<double>(decoded.Frames() - kCodecDelay) / kRate;
    EXPECT_NEAR(end - (tones[1].start + tones[1].length), 2.0, 3 * frame);
}

// Record takes the kept input over as it runs: the recording is the input's sound from the
// oldest kept second on, with nothing lost or doubled where the kept seconds end.
TEST_F(VoiceTest, TheSecondsBeforeRecordBeginTheRecordingSeamlesslyAndTurningItOffClosesTheInput)
{
    WriteSetting(kLoader, 1);
    WriteSetting(kLastFile, File("old.mp3"));
    // The input: 1.5 s of 440 Hz, quiet, then 1000 Hz from 4 s on. Record is pressed about
    // 3.5 s after the input opened, so the join lies in the quiet part; whatever it lost or
    // doubled would move the second tone against the first.
    std::vector<std::int16_t> input;
    Append(input, 1.5, 440);
    Append(input, 2.5, 0);
    Append(input, 60.0, 1000);
    WriteRaw(File("input.raw"), input);
    setenv("SDL_DISKAUDIOFILEIN", File("input.raw").c_str(), 1);
    OpenFrame();
    ExpectState(State::Stopped);
    EXPECT_EQ(m_panel->Lamp()->Description().find("Микрофон открыт"), std::string::npos);

    auto setKeeping = [&](bool on) {
        OnSettingsSheet([&](CMySheetDialog& dialog) {
            dialog.GetBookCtrl()->SetSelection(CMySheet::kAutoPage);
            PumpEvents(200);
            auto* seconds = dynamic_cast<wxSpinCtrl*>(dialog.FindControl(settings::IDC_KEEP_BEFORE_SECONDS));
            ASSERT_NE(seconds, nullptr);
            EXPECT_EQ(seconds->GetValue(), 5);
            ClickOn(dialog.FindControl(settings::IDC_KEEP_BEFORE));
            EXPECT_EQ(seconds->IsEnabled(), on);
            ClickOn(dialog.FindControl(wxID_OK));
        });
    };
    setKeeping(true);
    EXPECT_EQ(GetProfileInt("Record", "KeepBefore", 0), 5);
    EXPECT_NE(m_panel->Lamp()->Description().find("Микрофон открыт"), std::string::npos)
        << m_panel->Lamp()->Description();
    Pump(3000);

    PressKey(WXK_RETURN);
    ASSERT_TRUE(WaitFor([&] { return m_panel->Recorder() != nullptr && m_panel->Recorder()->IsCapturing(); }, 5000));
    Pump(2500);
    PressKey(WXK_RETURN);
    ASSERT_TRUE(WaitFor([&] { return m_panel->Recorder() == nullptr && m_panel->Player() != nullptr; }, 5000));
    // Stopped with a file loaded: the input is open again.
    EXPECT_NE(m_panel->Lamp()->Description().find("Микрофон открыт"), std::string::npos);

    const auto decoded = record_test::DecodeMp3(ReadSetting(kLastFile));
    ASSERT_TRUE(decoded.ok);
    const std::vector<Segment> tones = ToneSegments(decoded);
    ASSERT_EQ(tones.size(), 2u);
    // The file begins with the input's first kept sound, and the second tone lies 4 s after
    // the first, as in the input, to within the envelope's 5 ms steps.
    EXPECT_NEAR(tones[0].hz, 440, 20);
    EXPECT_NEAR(tones[0].start, 0.0, 0.011);
    EXPECT_NEAR(tones[0].length, 1.5, 0.011);
    EXPECT_NEAR(tones[1].hz, 1000, 40);
    EXPECT_NEAR(tones[1].start - tones[0].start, 4.0, 0.011);

    // Off: the input closes at once.
    setKeeping(false);
    EXPECT_EQ(GetProfileInt("Record", "KeepBefore", -1), 0);
    EXPECT_EQ(m_panel->Lamp()->Description().find("Микрофон открыт"), std::string::npos);
}

}  // namespace
