#include "support/Mp3Maker.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

#include <lame/lame.h>

namespace testing_support {
namespace {

std::vector<std::int16_t> Tone(double seconds, int sampleRate, int channels)
{
    const std::size_t frames = static_cast<std::size_t>(seconds * sampleRate);
    std::vector<std::int16_t> pcm(frames * static_cast<std::size_t>(channels));
    for (std::size_t i = 0; i < frames; ++i) {
        for (int c = 0; c < channels; ++c) {
            const double f = c == 0 ? 440.0 : 660.0;
            pcm[i * channels + c] =
                static_cast<std::int16_t>(12000.0 * std::sin(2.0 * M_PI * f * static_cast<double>(i) / sampleRate));
        }
    }
    return pcm;
}

struct LameCloser {
    void operator()(lame_global_flags* f) const { lame_close(f); }
};
struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

bool WriteToneMp3(const std::string& path, double seconds, int sampleRate, int channels, int kbps,
                  bool append)
{
    std::unique_ptr<lame_global_flags, LameCloser> lame(lame_init());
    lame_set_in_samplerate(lame.get(), sampleRate);
    lame_set_out_samplerate(lame.get(), sampleRate);
    lame_set_num_channels(lame.get(), channels);
    lame_set_mode(lame.get(), channels == 1 ? MONO : JOINT_STEREO);
    lame_set_brate(lame.get(), kbps);
    lame_set_VBR(lame.get(), vbr_off);
    lame_set_bWriteVbrTag(lame.get(), 0);
    lame_set_disable_reservoir(lame.get(), 1);
    if (lame_init_params(lame.get()) < 0)
        return false;
    const std::vector<std::int16_t> pcm = Tone(seconds, sampleRate, channels);
    const int frames = static_cast<int>(pcm.size() / static_cast<std::size_t>(channels));
    std::vector<unsigned char> out(static_cast<std::size_t>(1.25 * frames + 7200) + 16384);
    int n = channels == 1
        ? lame_encode_buffer(lame.get(), pcm.data(), nullptr, frames, out.data(), static_cast<int>(out.size()))
        : lame_encode_buffer_interleaved(lame.get(), const_cast<short*>(pcm.data()), frames, out.data(),
                                         static_cast<int>(out.size()));
    if (n < 0)
        return false;
    const int tail = lame_encode_flush(lame.get(), out.data() + n, static_cast<int>(out.size()) - n);
    if (tail < 0)
        return false;
    n += tail;
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), append ? "ab" : "wb"));
    return file && std::fwrite(out.data(), 1, static_cast<std::size_t>(n), file.get()) == static_cast<std::size_t>(n);
}

bool WriteTonePcm(const std::string& path, double seconds, int sampleRate, int channels)
{
    const std::vector<std::int16_t> pcm = Tone(seconds, sampleRate, channels);
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
    return file && std::fwrite(pcm.data(), sizeof(std::int16_t), pcm.size(), file.get()) == pcm.size();
}

}  // namespace testing_support
