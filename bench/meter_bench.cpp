// CPU time of the user interface's per-tick work while recording, measured in this process on a
// real (virtual) display: one level-meter picture from a fresh capture buffer, drawn and shown on
// the window, as the meter timer does ten times a second; and the time display and the size line
// with a new second, as the recording timer does once a second. The display server's own work is
// not counted here, nor the event loop's wake-up for each tick (bench/responsiveness.sh counts
// those wake-ups).

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include <wx/app.h>
#include <wx/frame.h>
#include <wx/init.h>
#include <wx/panel.h>

#include "controls/ControlRect.h"
#include "controls/FormatTime.h"
#include "controls/InfoPanel.h"
#include "controls/LevelMeter.h"
#include "controls/TimePanel.h"

namespace {

struct MeterWindow {
    wxFrame* frame = nullptr;
    CLevelMeter* meter = nullptr;
    CTimePanel* time = nullptr;
    CInfoPanel* info = nullptr;

    MeterWindow()
    {
        frame = new wxFrame(nullptr, wxID_ANY, "meter bench", wxDefaultPosition, wxSize(320, 140));
        auto* panel = new wxPanel(frame);
        meter = new CLevelMeter(panel, wxID_ANY, controls::EdgeRect(2, 26, 115, 77));
        time = new CTimePanel(panel, wxID_ANY, controls::EdgeRect(126, 0, 215, 26));
        info = new CInfoPanel(panel, wxID_ANY, controls::EdgeRect(120, 30, 316, 80));
        frame->Show();
        for (int i = 0; i < 50; ++i) {
            wxTheApp->Yield(true);
            wxMilliSleep(10);
        }
    }
    ~MeterWindow() { frame->Destroy(); }
};

// 100 ms of 44.1 kHz stereo, the buffer the meter is handed while recording: two buffers of a
// tone in turn, since a picture like the last is not drawn at all.
void BM_MeterTick(benchmark::State& state)
{
    MeterWindow window;
    constexpr int kCount = 4410 * 2;
    std::vector<std::int16_t> samples[2];
    for (int b = 0; b < 2; ++b) {
        samples[b].resize(kCount);
        for (int i = 0; i < kCount; ++i)
            samples[b][i] = static_cast<std::int16_t>(12000.0 * std::sin(i * 0.031 + b));
    }
    window.meter->SetupTrace(kCount, 16, 1);
    int next = 0;
    for (auto _ : state) {
        window.meter->DrawSamples(samples[next].data());
        next ^= 1;
        benchmark::ClobberMemory();
    }
    wxTheApp->Yield(true);
}
BENCHMARK(BM_MeterTick)->Unit(benchmark::kMicrosecond)->MeasureProcessCPUTime()->MinTime(2.0);

// One second on: the time display and the size line with new texts.
void BM_RecordTick(benchmark::State& state)
{
    MeterWindow window;
    int seconds = 3600;
    for (auto _ : state) {
        ++seconds;
        window.time->SetSeconds(seconds);
        window.info->ShowSize(static_cast<std::uint32_t>(seconds) * 32u, FormatTime(seconds));
        benchmark::ClobberMemory();
    }
    wxTheApp->Yield(true);
}
BENCHMARK(BM_RecordTick)->Unit(benchmark::kMicrosecond)->MeasureProcessCPUTime()->MinTime(2.0);

}  // namespace

int main(int argc, char** argv)
{
    wxApp::SetInstance(new wxApp);
    if (!wxEntryStart(argc, argv) || !wxTheApp->CallOnInit())
        return 1;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    wxTheApp->OnExit();
    wxEntryCleanup();
    return 0;
}
