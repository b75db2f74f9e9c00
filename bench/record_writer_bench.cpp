// Encoding throughput of CMp3Writer over our encoder library against calling libmp3lame
// directly with the same settings on the same PCM; both append every chunk's MP3 to a file.
// Compare the two items_per_second figures of one format (the ratio is the writer's overhead).

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include <lame/lame.h>

#include "engine/record/Mp3Writer.h"
#include "platform/MessageBox.h"

namespace {

constexpr int kSeconds = 20;

std::vector<std::int16_t> Tone(int rate, int channels)
{
    std::vector<std::int16_t> pcm(static_cast<std::size_t>(rate) * kSeconds * channels);
    for (std::size_t i = 0; i < pcm.size() / channels; ++i)
        for (int c = 0; c < channels; ++c)
            pcm[i * channels + c] = static_cast<std::int16_t>(
                8000 * std::sin(2 * M_PI * (440.0 + 110 * c) * i / rate) +
                2000 * std::sin(2 * M_PI * 3100.0 * i / rate));
    return pcm;
}

std::string TempFile()
{
    char name[] = "/tmp/dr-bench-XXXXXX";
    const int fd = mkstemp(name);
    if (fd >= 0)
        close(fd);
    return name;
}

void BM_Mp3Writer(benchmark::State& state)
{
    const int kbps = static_cast<int>(state.range(0));
    const int rate = static_cast<int>(state.range(1));
    const int channels = static_cast<int>(state.range(2));
    const auto pcm = Tone(rate, channels);
    const std::string path = TempFile();
    platform::SetMessageSink([](const std::string& text, platform::MessageIcon) {
        std::fprintf(stderr, "%s", text.c_str());
    });
    for (auto _ : state) {
        truncate(path.c_str(), 0);
        CMp3Writer writer;
        writer.OpenFile(path);
        writer.SeekToEnd();
        writer.Configure(kbps, rate, 16, channels - 1);
        if (!writer.OpenStream()) {
            state.SkipWithError("no stream");
            break;
        }
        const std::size_t chunk = writer.SamplesPerChunk();
        for (std::size_t off = 0; off + chunk <= pcm.size(); off += chunk)
            writer.EncodeAndWrite(pcm.data() + off, writer.ChunkBytes());
        writer.CloseFile();
        writer.CloseStream();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(pcm.size() / channels));
    unlink(path.c_str());
}

void BM_LameDirect(benchmark::State& state)
{
    const int kbps = static_cast<int>(state.range(0));
    const int rate = static_cast<int>(state.range(1));
    const int channels = static_cast<int>(state.range(2));
    const auto pcm = Tone(rate, channels);
    const std::string path = TempFile();
    std::vector<unsigned char> out(16384);
    for (auto _ : state) {
        const int fd = open(path.c_str(), O_WRONLY | O_TRUNC | O_APPEND);
        lame_global_flags* gf = lame_init();
        lame_set_num_channels(gf, channels);
        lame_set_mode(gf, channels == 2 ? JOINT_STEREO : MONO);
        lame_set_in_samplerate(gf, rate);
        lame_set_out_samplerate(gf, rate);
        lame_set_brate(gf, kbps);
        lame_set_VBR(gf, vbr_off);
        lame_set_bWriteVbrTag(gf, 0);
        lame_set_original(gf, 1);
        lame_set_disable_reservoir(gf, 1);
        lame_init_params(gf);
        const std::size_t frame = static_cast<std::size_t>(lame_get_framesize(gf));
        const std::size_t chunk = frame * channels;
        for (std::size_t off = 0; off + chunk <= pcm.size(); off += chunk) {
            int n;
            if (channels == 2)
                n = lame_encode_buffer_interleaved(gf, const_cast<short*>(pcm.data() + off),
                                                   static_cast<int>(frame), out.data(),
                                                   static_cast<int>(out.size()));
            else
                n = lame_encode_buffer(gf, pcm.data() + off, pcm.data() + off,
                                       static_cast<int>(frame), out.data(),
                                       static_cast<int>(out.size()));
            if (n > 0 && write(fd, out.data(), static_cast<std::size_t>(n)) != n)
                state.SkipWithError("write");
        }
        lame_close(gf);
        close(fd);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(pcm.size() / channels));
    unlink(path.c_str());
}

}  // namespace

// Arguments: kbps, Hz, channels.
BENCHMARK(BM_LameDirect)->Args({32, 11025, 1})->Args({256, 44100, 2})->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_Mp3Writer)->Args({32, 11025, 1})->Args({256, 44100, 2})->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_LameDirect)->Args({32, 11025, 1})->Args({256, 44100, 2})->Unit(benchmark::kMillisecond)->MinTime(2.0)->Name("BM_LameDirect_again");

BENCHMARK_MAIN();
