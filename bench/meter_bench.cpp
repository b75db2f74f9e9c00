// CPU time of the user interface's per-tick work while recording, measured in this process on a
// real (virtual) display: one level-meter picture from a fresh capture buffer, drawn and shown on
// the window, as the meter timer does ten times a second. The display server's own work is not
// counted here; it is the same for any way of getting the same pixels to the window.

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include <wx/app.h>
#include <wx/frame.h>
#include <wx/init.h>
#include <wx/panel.h>

#include "controls/ControlRect.h"
#include "controls/LevelMeter.h"

namespace {

struct MeterWindow {
    wxFrame* frame = nullptr;
    CLevelMeter* meter = nullptr;

    MeterWindow()
    {
        frame = new wxFrame(nullptr, wxID_ANY, "meter bench", wxDefaultPosition, wxSize(200, 140));
        auto* panel = new wxPanel(frame);
        meter = new CLevelMeter(panel, wxID_ANY, controls::EdgeRect(2, 26, 115, 77));
        frame->Show();
        for (int i = 0; i < 50; ++i) {
            wxTheApp->Yield(true);
            wxMilliSleep(10);
        }
    }
    ~MeterWindow() { frame->Destroy(); }
};

// 100 ms of 44.1 kHz stereo, the buffer the meter is handed while recording.
void BM_MeterTick(benchmark::State& state)
{
    MeterWindow window;
    constexpr int kCount = 4410 * 2;
    std::vector<std::int16_t> samples(kCount);
    for (int i = 0; i < kCount; ++i)
        samples[i] = static_cast<std::int16_t>(12000.0 * std::sin(i * 0.031));
    window.meter->SetupTrace(kCount, 16, 1);
    for (auto _ : state) {
        window.meter->DrawSamples(samples.data());
        benchmark::ClobberMemory();
    }
    wxTheApp->Yield(true);
}
BENCHMARK(BM_MeterTick)->Unit(benchmark::kMicrosecond)->MeasureProcessCPUTime()->MinTime(2.0);

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
