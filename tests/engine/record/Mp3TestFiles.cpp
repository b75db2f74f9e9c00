#include "engine/record/Mp3TestFiles.h"

#include <cmath>

#include <mpg123.h>

namespace record_test {

DecodedAudio DecodeMp3(const std::string& path)
{
    DecodedAudio out;
    mpg123_handle* mh = mpg123_new(nullptr, nullptr);
    if (mh == nullptr)
        return out;
    mpg123_param(mh, MPG123_ADD_FLAGS, MPG123_QUIET, 0.0);
    // Our files carry no gapless information; decode every sample that is there.
    mpg123_param(mh, MPG123_REMOVE_FLAGS, MPG123_GAPLESS, 0.0);
    if (mpg123_open(mh, path.c_str()) != MPG123_OK) {
        mpg123_delete(mh);
        return out;
    }
    int encoding = 0;
    if (mpg123_getformat(mh, &out.rate, &out.channels, &encoding) != MPG123_OK) {
        mpg123_close(mh);
        mpg123_delete(mh);
        return out;
    }
    mpg123_format_none(mh);
    mpg123_format(mh, out.rate, out.channels, MPG123_ENC_SIGNED_16);
    std::vector<unsigned char> buffer(65536);
    for (;;) {
        size_t done = 0;
        const int err = mpg123_read(mh, buffer.data(), buffer.size(), &done);
        const auto* s = reinterpret_cast<const std::int16_t*>(buffer.data());
        out.samples.insert(out.samples.end(), s, s + done / 2);
        if (err == MPG123_DONE)
            break;
        if (err != MPG123_OK && err != MPG123_NEW_FORMAT) {
            mpg123_close(mh);
            mpg123_delete(mh);
            return out;
        }
    }
    mpg123_close(mh);
    mpg123_delete(mh);
    out.ok = true;
    return out;
}

FrameWalk WalkFrames(const std::string& bytes)
{
    static const int kBitratesV1[16] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0};
    static const int kBitratesV2[16] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0};
    static const int kRatesV1[3] = {44100, 48000, 32000};
    FrameWalk walk;
    std::size_t pos = 0;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    while (pos + 4 <= bytes.size()) {
        if (p[pos] != 0xFF || (p[pos + 1] & 0xE0) != 0xE0)
            return walk;
        const int versionBits = (p[pos + 1] >> 3) & 3;
        const int layerBits = (p[pos + 1] >> 1) & 3;
        if (versionBits == 1 || layerBits != 1)
            return walk;
        const int version = versionBits == 3 ? 1 : versionBits == 2 ? 2 : 25;
        const int bitrateIndex = p[pos + 2] >> 4;
        const int rateIndex = (p[pos + 2] >> 2) & 3;
        if (bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3)
            return walk;
        const int kbps = version == 1 ? kBitratesV1[bitrateIndex] : kBitratesV2[bitrateIndex];
        int rate = kRatesV1[rateIndex];
        if (version == 2)
            rate /= 2;
        else if (version == 25)
            rate /= 4;
        const int padding = (p[pos + 2] >> 1) & 1;
        const int length = (version == 1 ? 144000 : 72000) * kbps / rate + padding;
        if (walk.frames == 0) {
            walk.version = version;
            walk.bitrateKbps = kbps;
            walk.rate = rate;
            walk.mono = (p[pos + 3] >> 6) == 3;
            walk.original = (p[pos + 3] & 0x04) != 0;
            walk.crc = (p[pos + 1] & 1) == 0;
        } else if (kbps != walk.bitrateKbps || rate != walk.rate) {
            walk.constantBitrate = false;
        }
        if (pos + static_cast<std::size_t>(length) > bytes.size())
            return walk;  // cut inside a frame
        pos += static_cast<std::size_t>(length);
        ++walk.frames;
    }
    walk.wholeFrames = pos == bytes.size() && walk.frames > 0;
    return walk;
}

double ToneValue(long rate, int channel, std::size_t n)
{
    const double t = static_cast<double>(n) / static_cast<double>(rate);
    const double f1 = channel == 0 ? 330.0 : 523.0;
    const double f2 = channel == 0 ? 587.0 : 262.0;
    return 6000.0 * std::sin(2 * M_PI * f1 * t) + 4000.0 * std::sin(2 * M_PI * f2 * t + 0.7);
}

std::vector<std::int16_t> MakeTone(long rate, int channels, std::size_t frames)
{
    std::vector<std::int16_t> pcm(frames * static_cast<std::size_t>(channels));
    for (std::size_t n = 0; n < frames; ++n)
        for (int c = 0; c < channels; ++c)
            pcm[n * channels + c] = static_cast<std::int16_t>(std::lround(ToneValue(rate, c, n)));
    return pcm;
}

double CorrelateWithTone(const DecodedAudio& audio, int channel, std::size_t lag,
                         std::size_t frames)
{
    double sx = 0, sy = 0, sxx = 0, syy = 0, sxy = 0;
    std::size_t n = 0;
    for (std::size_t i = 0; i < frames && lag + i < audio.Frames(); ++i, ++n) {
        const double x = audio.samples[(lag + i) * audio.channels + channel];
        const double y = ToneValue(audio.rate, channel, i);
        sx += x;
        sy += y;
        sxx += x * x;
        syy += y * y;
        sxy += x * y;
    }
    if (n < 2)
        return 0;
    const double cov = sxy - sx * sy / n;
    const double vx = sxx - sx * sx / n;
    const double vy = syy - sy * sy / n;
    return vx > 0 && vy > 0 ? cov / std::sqrt(vx * vy) : 0;
}

}  // namespace record_test
