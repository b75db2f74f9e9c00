// CPU of a voice-activated recording that listens to a silent input, against the same process
// doing nothing and against an ordinary recording of the same silence (which encodes all of it).
// Input through SDL's disk audio driver at its own real-time pace, 44100 Hz stereo at 128 kbps.
// Driven by bench/voice_idle.sh, which makes the silent input (SDL_DISKAUDIOFILEIN) and chooses
// the length (DR_BENCH_SECONDS); run alone it does nothing.
//
// Counters: CPU seconds per minute of input (user + system, the whole process), chunks encoded.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include <sys/resource.h>

#include "engine/record/WaveRecorder.h"
#include "platform/MessageBox.h"

namespace {

double CpuSeconds()
{
    struct rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

int Seconds()
{
    const char* text = std::getenv("DR_BENCH_SECONDS");
    return text != nullptr ? std::atoi(text) : 0;
}

// mode 0: idle; 1: voice-activated and listening; 2: recording everything.
void Run(benchmark::State& state, int mode)
{
    const int seconds = Seconds();
    const char* out = std::getenv("DR_BENCH_RECORD_MP3");
    if (seconds <= 0 || out == nullptr) {
        state.SkipWithError("run through bench/voice_idle.sh");
        return;
    }
    platform::SetMessageSink([](const std::string& text, platform::MessageIcon) {
        std::fprintf(stderr, "message: %s\n", text.c_str());
    });
    for (auto _ : state) {
        std::FILE* truncate = std::fopen(out, "wb");
        if (truncate != nullptr)
            std::fclose(truncate);
        WaveRecorderOptions options;
        if (mode == 1)
            options.voiceGate = VoiceGateSettings{};
        CWaveRecorder recorder(options);
        TrackInfo track;
        track.path = out;
        track.bitrate = 128000;
        track.sampleRate = 44100;
        track.bitsPerSample = 16;
        track.channels = 2;
        const double before = CpuSeconds();
        if (mode != 0 && (!recorder.Prepare(track) || !recorder.Start())) {
            state.SkipWithError("the recording did not start");
            return;
        }
        std::this_thread::sleep_for(std::chrono::seconds(seconds));
        if (mode != 0)
            recorder.Stop();
        const double used = CpuSeconds() - before;
        state.counters["cpu_s_per_min"] = used * 60.0 / seconds;
        state.counters["chunks_encoded"] = static_cast<double>(recorder.ChunksEncoded());
    }
}

void BM_Idle(benchmark::State& state) { Run(state, 0); }
void BM_VoiceListeningToSilence(benchmark::State& state) { Run(state, 1); }
void BM_RecordingSilence(benchmark::State& state) { Run(state, 2); }

}  // namespace

BENCHMARK(BM_Idle)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(BM_VoiceListeningToSilence)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK(BM_RecordingSilence)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK_MAIN();
