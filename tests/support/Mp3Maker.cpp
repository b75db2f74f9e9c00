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

std::string EncodeMp3(const std::vector<std::int16_t>& pcm, int sampleRate, int channels,
                      const Mp3EncodeOptions& options)
{
    std::unique_ptr<lame_global_flags, LameCloser> lame(lame_init());
    lame_set_in_samplerate(lame.get(), sampleRate);
    lame_set_out_samplerate(lame.get(), sampleRate);
    lame_set_num_channels(lame.get(), channels);
    lame_set_mode(lame.get(), channels == 1 ? MONO : JOINT_STEREO);
    lame_set_brate(lame.get(), options.kbps);
    lame_set_VBR(lame.get(), vbr_off);
    lame_set_bWriteVbrTag(lame.get(), options.infoFrame ? 1 : 0);
    if (!options.bitReservoir)
        lame_set_disable_reservoir(lame.get(), 1);
    if (lame_init_params(lame.get()) < 0)
        return {};
    const int frames = static_cast<int>(pcm.size() / static_cast<std::size_t>(channels));
    std::vector<unsigned char> out(static_cast<std::size_t>(1.25 * frames + 7200) + 16384);
    auto* samples = const_cast<short*>(pcm.data());
    int n = channels == 1
        ? lame_encode_buffer(lame.get(), samples, nullptr, frames, out.data(), static_cast<int>(out.size()))
        : lame_encode_buffer_interleaved(lame.get(), samples, frames, out.data(), static_cast<int>(out.size()));
    if (n < 0)
        return {};
    const int tail = lame_encode_flush(lame.get(), out.data() + n, static_cast<int>(out.size()) - n);
    if (tail < 0)
        return {};
    std::string mp3(reinterpret_cast<const char*>(out.data()), static_cast<std::size_t>(n + tail));
    if (options.infoFrame) {
        unsigned char tag[4096];
        const std::size_t size = lame_get_lametag_frame(lame.get(), tag, sizeof tag);
        mp3.replace(0, size, reinterpret_cast<const char*>(tag), size);
    }
    return mp3;
}

bool WriteToneMp3(const std::string& path, double seconds, int sampleRate, int channels, int kbps,
                  bool append)
{
    Mp3EncodeOptions options;
    options.kbps = kbps;
    const std::string mp3 = EncodeMp3(Tone(seconds, sampleRate, channels), sampleRate, channels, options);
    if (mp3.empty())
        return false;
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), append ? "ab" : "wb"));
    return file && std::fwrite(mp3.data(), 1, mp3.size(), file.get()) == mp3.size();
}

bool WriteTonePcm(const std::string& path, double seconds, int sampleRate, int channels)
{
    const std::vector<std::int16_t> pcm = Tone(seconds, sampleRate, channels);
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
    return file && std::fwrite(pcm.data(), sizeof(std::int16_t), pcm.size(), file.get()) == pcm.size();
}

}  // namespace testing_support
