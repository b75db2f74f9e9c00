// Playback engine benchmarks, each beside its anchor in the same run:
//  - loading a 10-hour 32 kbps mono 11025 Hz file (~144 MB of appended constant-bitrate
//    frames) to its exact length, warm cache, beside `ffprobe -count_packets` on the same file;
//  - seeking anywhere in that file (until the first sample at the target is decoded);
//  - CPU time per second of audio while playing a 128 kbps stereo file through the player
//    (SDL disk driver into /dev/null), beside `mpg123 -w /dev/null` decoding the same file.
// Test files are made once with libmp3lame and kept in the temporary folder.

#include <fcntl.h>
#include <lame/lame.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "engine/TrackInfo.h"
#include "engine/play/Mp3Decoder.h"
#include "engine/play/Mp3Player.h"
#include "platform/UniqueFd.h"

namespace {

std::string DataDir()
{
    const auto dir = std::filesystem::temp_directory_path() / "dr-play-bench";
    std::filesystem::create_directories(dir);
    return dir.string();
}

// Constant-bitrate frames of `seconds` of a tone, without an Info frame.
std::string Encode(int rate, int channels, int kbps, double seconds)
{
    lame_global_flags* g = lame_init();
    lame_set_in_samplerate(g, rate);
    lame_set_out_samplerate(g, rate);
    lame_set_num_channels(g, channels);
    lame_set_mode(g, channels == 1 ? MONO : JOINT_STEREO);
    lame_set_VBR(g, vbr_off);
    lame_set_brate(g, kbps);
    lame_set_bWriteVbrTag(g, 0);
    lame_set_quality(g, 7);
    lame_init_params(g);
    const int chunk = 4096;
    std::vector<short> pcm(static_cast<std::size_t>(chunk * channels));
    std::vector<unsigned char> out(static_cast<std::size_t>(chunk * 2 + 7200));
    std::string mp3;
    const auto total = static_cast<long>(seconds * rate);
    for (long done = 0; done < total; done += chunk) {
        for (int i = 0; i < chunk; ++i)
            for (int c = 0; c < channels; ++c)
                pcm[static_cast<std::size_t>(i * channels + c)] = static_cast<short>(
                    8000 * std::sin(2 * M_PI * (440.0 + 100 * c) * static_cast<double>(done + i) / rate) +
                    2000 * std::sin(2 * M_PI * 3.1 * static_cast<double>(done + i) / rate));
        const int n = channels == 1 ? lame_encode_buffer(g, pcm.data(), nullptr, chunk, out.data(), static_cast<int>(out.size()))
                                    : lame_encode_buffer_interleaved(g, pcm.data(), chunk, out.data(), static_cast<int>(out.size()));
        mp3.append(reinterpret_cast<const char*>(out.data()), static_cast<std::size_t>(n));
    }
    const int n = lame_encode_flush(g, out.data(), static_cast<int>(out.size()));
    mp3.append(reinterpret_cast<const char*>(out.data()), static_cast<std::size_t>(n));
    lame_close(g);
    return mp3;
}

// The 10-hour file: three minutes encoded once, appended over and over like recordings.
const std::string& LongFile()
{
    static const std::string path = [] {
        const std::string p = DataDir() + "/ten-hours-32k-mono-11025.mp3";
        if (!std::filesystem::exists(p)) {
            const std::string block = Encode(11025, 1, 32, 180.0);
            std::ofstream out(p + ".tmp", std::ios::binary);
            for (int i = 0; i < 200; ++i)
                out << block;
            out.close();
            std::filesystem::rename(p + ".tmp", p);
        }
        return p;
    }();
    return path;
}

const std::string& StereoFile()
{
    static const std::string path = [] {
        const std::string p = DataDir() + "/minute-128k-stereo-44100.mp3";
        if (!std::filesystem::exists(p)) {
            std::ofstream out(p, std::ios::binary);
            out << Encode(44100, 2, 128, 60.0);
        }
        return p;
    }();
    return path;
}

std::int64_t FileBytes(const std::string& path) { return static_cast<std::int64_t>(std::filesystem::file_size(path)); }

double CpuSeconds(int who)
{
    rusage u{};
    getrusage(who, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + 1e-6 * static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec);
}

void BM_LoadTenHoursToExactLength(benchmark::State& state)
{
    const std::string& path = LongFile();
    double seconds = 0;
    for (auto _ : state) {
        platform::UniqueFd fd(::open(path.c_str(), O_RDONLY));
        play::Mp3Decoder decoder;
        if (!decoder.Open(fd.Get(), FileBytes(path)))
            state.SkipWithError("open failed");
        seconds = static_cast<double>(decoder.LengthFrames()) / decoder.SampleRate();
        benchmark::DoNotOptimize(seconds);
    }
    state.counters["length_s"] = seconds;
    state.counters["file_MB"] = static_cast<double>(FileBytes(path)) / 1e6;
}
BENCHMARK(BM_LoadTenHoursToExactLength)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// Construction and Load of a CMp3Player (file, frame walk, decoder thread, SDL output opened
// with the disk driver); the destruction is not timed.
void BM_PlayerLoadTenHours(benchmark::State& state)
{
    setenv("SDL_DISKAUDIOFILE", "/dev/null", 1);
    const std::string& path = LongFile();
    for (auto _ : state) {
        TrackInfo track;
        track.path = path;
        auto player = std::make_unique<CMp3Player>(track);
        if (!player->Load(track))
            state.SkipWithError("load failed");
        benchmark::DoNotOptimize(player->GetLength());
        state.PauseTiming();
        player.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_PlayerLoadTenHours)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// Anchor: ffprobe counting every packet of the same file.
void BM_AnchorFfprobeCountPackets(benchmark::State& state)
{
    const std::string cmd = "ffprobe -v error -count_packets -select_streams a:0 -show_entries stream=nb_read_packets -of csv=p=0 '" +
                            LongFile() + "' > /dev/null";
    for (auto _ : state)
        if (std::system(cmd.c_str()) != 0)
            state.SkipWithError("ffprobe failed");
}
BENCHMARK(BM_AnchorFfprobeCountPackets)->Unit(benchmark::kMillisecond)->Iterations(5);

// Seek to random points of the 10-hour file, until the first sample there is decoded.
void BM_SeekAnywhereTenHours(benchmark::State& state)
{
    const std::string& path = LongFile();
    platform::UniqueFd fd(::open(path.c_str(), O_RDONLY));
    play::Mp3Decoder decoder;
    decoder.Open(fd.Get(), FileBytes(path));
    std::mt19937_64 random(7);
    std::uniform_int_distribution<std::int64_t> where(0, decoder.LengthFrames() - 1);
    std::int16_t sample[2];
    for (auto _ : state) {
        decoder.SeekFrame(where(random));
        benchmark::DoNotOptimize(decoder.Read(sample, 1));
    }
}
BENCHMARK(BM_SeekAnywhereTenHours)->Unit(benchmark::kMicrosecond);

// CPU time of the whole process per second of audio played (decoder thread, SDL's audio
// thread with the disk driver writing to /dev/null about 20 times faster than real time).
void BM_PlayCpuPerAudioSecond128kStereo(benchmark::State& state)
{
    setenv("SDL_DISKAUDIOFILE", "/dev/null", 1);
    setenv("SDL_DISKAUDIODELAY", "2", 1);
    const std::string& path = StereoFile();
    double cpu = 0;
    double audio = 0;
    for (auto _ : state) {
        TrackInfo track;
        track.path = path;
        const double before = CpuSeconds(RUSAGE_SELF);
        {
            CMp3Player player(track);
            if (!player.Load(track)) {
                state.SkipWithError("load failed");
                break;
            }
            player.Play();
            while (player.GetPosition() < player.GetLength())
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            audio += player.GetLength();
        }
        cpu += CpuSeconds(RUSAGE_SELF) - before;
    }
    state.counters["cpu_ms_per_audio_s"] = 1000 * cpu / audio;
}
BENCHMARK(BM_PlayCpuPerAudioSecond128kStereo)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// Anchor: mpg123 decoding the same file to /dev/null.
void BM_AnchorMpg123Decode128kStereo(benchmark::State& state)
{
    const std::string cmd = "mpg123 -q -w /dev/null '" + StereoFile() + "'";
    double cpu = 0;
    double audio = 0;
    for (auto _ : state) {
        const double before = CpuSeconds(RUSAGE_CHILDREN);
        if (std::system(cmd.c_str()) != 0)
            state.SkipWithError("mpg123 failed");
        cpu += CpuSeconds(RUSAGE_CHILDREN) - before;
        audio += 60.0;
    }
    state.counters["cpu_ms_per_audio_s"] = 1000 * cpu / audio;
}
BENCHMARK(BM_AnchorMpg123Decode128kStereo)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
