// Loading and closing a file that starts with 50 MB of junk before 30 s of audio, beside the
// same 30 s without the junk. Load: constructing a CMp3Player and Load (file, frame walk,
// decoder start, output opened with SDL's disk driver into /dev/null). Close: destroying the
// player right after a seek to the middle was asked for, so a seek may be in progress; the
// player's close includes closing SDL's output device, so the decoding stream's own close
// (its thread ended while the seek is under way) is reported apart as stream_close_ms.
// Warm cache; the files are made once in the temporary folder.

#include <lame/lame.h>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <fcntl.h>

#include "engine/TrackInfo.h"
#include "engine/play/Mp3Decoder.h"
#include "engine/play/Mp3Player.h"
#include "engine/play/PlaybackStream.h"
#include "platform/UniqueFd.h"

namespace {

std::string Encode30Seconds()
{
    lame_global_flags* g = lame_init();
    lame_set_in_samplerate(g, 44100);
    lame_set_num_channels(g, 2);
    lame_set_mode(g, JOINT_STEREO);
    lame_set_brate(g, 128);
    lame_set_bWriteVbrTag(g, 0);
    lame_set_quality(g, 7);
    lame_init_params(g);
    const int chunk = 4096;
    std::vector<short> pcm(chunk * 2);
    std::vector<unsigned char> out(chunk * 2 + 7200);
    std::string mp3;
    for (long done = 0; done < 30L * 44100; done += chunk) {
        for (int i = 0; i < chunk; ++i)
            for (int c = 0; c < 2; ++c)
                pcm[static_cast<std::size_t>(i * 2 + c)] =
                    static_cast<short>(8000 * std::sin(2 * M_PI * (440.0 + 100 * c) * static_cast<double>(done + i) / 44100));
        const int n = lame_encode_buffer_interleaved(g, pcm.data(), chunk, out.data(), static_cast<int>(out.size()));
        mp3.append(reinterpret_cast<const char*>(out.data()), static_cast<std::size_t>(n));
    }
    const int n = lame_encode_flush(g, out.data(), static_cast<int>(out.size()));
    mp3.append(reinterpret_cast<const char*>(out.data()), static_cast<std::size_t>(n));
    lame_close(g);
    return mp3;
}

// The clean file and the file with the junk before it.
const std::string& File(bool junk)
{
    static const std::string dir = [] {
        const auto d = std::filesystem::temp_directory_path() / "dr-junk-bench";
        std::filesystem::create_directories(d);
        const std::string audio = Encode30Seconds();
        std::ofstream(d / "clean.mp3", std::ios::binary) << audio;
        std::string bytes(50u << 20, '\0');
        std::mt19937 random(5);
        for (auto& c : bytes)
            c = static_cast<char>(random());
        std::ofstream(d / "junk50.mp3", std::ios::binary) << bytes << audio;
        return d.string();
    }();
    static const std::string clean = dir + "/clean.mp3";
    static const std::string junk50 = dir + "/junk50.mp3";
    return junk ? junk50 : clean;
}

void LoadAndClose(benchmark::State& state, bool junk)
{
    setenv("SDL_DISKAUDIOFILE", "/dev/null", 1);
    const std::string& path = File(junk);
    using Clock = std::chrono::steady_clock;
    double load = 0;
    double close = 0;
    double length = 0;
    for (auto _ : state) {
        TrackInfo track;
        track.path = path;
        const auto t0 = Clock::now();
        auto player = std::make_unique<CMp3Player>(track);
        if (!player->Load(track))
            state.SkipWithError("load failed");
        const auto t1 = Clock::now();
        length = player->GetLength();
        player->Seek(player->GetLength() / 2);
        const auto t2 = Clock::now();
        player.reset();
        const auto t3 = Clock::now();
        load += std::chrono::duration<double, std::milli>(t1 - t0).count();
        close += std::chrono::duration<double, std::milli>(t3 - t2).count();
        state.SetIterationTime(std::chrono::duration<double>(t1 - t0).count());
    }
    // The decoding stream alone: opened, asked to seek to the middle, destroyed at once.
    double streamClose = 0;
    for (int i = 0; i < 10; ++i) {
        platform::UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
        auto decoder = std::make_unique<play::Mp3Decoder>();
        if (!decoder->Open(fd.Get(), static_cast<std::int64_t>(std::filesystem::file_size(path))))
            state.SkipWithError("open failed");
        auto stream = std::make_unique<play::PlaybackStream>(std::move(decoder));
        stream->SeekFrame(stream->LengthFrames() / 2);
        const auto t = Clock::now();
        stream.reset();
        streamClose += std::chrono::duration<double, std::milli>(Clock::now() - t).count();
    }
    const auto n = static_cast<double>(state.iterations());
    state.counters["stream_close_ms"] = streamClose / 10;
    state.counters["load_ms"] = load / n;
    state.counters["close_ms"] = close / n;
    state.counters["length_s"] = length;
}

void BM_CleanFileLoadAndClose(benchmark::State& state) { LoadAndClose(state, false); }
void BM_Junk50MBPrefixLoadAndClose(benchmark::State& state) { LoadAndClose(state, true); }
BENCHMARK(BM_CleanFileLoadAndClose)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(10);
BENCHMARK(BM_Junk50MBPrefixLoadAndClose)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(10);

}  // namespace

BENCHMARK_MAIN();
