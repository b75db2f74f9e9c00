#include "engine/play/Mp3Fixtures.h"

#include "support/Mp3Maker.h"

#include <mpg123.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <stdexcept>

namespace play_test {

namespace {

std::vector<std::int16_t> Signal(const EncodeParams& p)
{
    const auto frames = static_cast<std::size_t>(p.seconds * p.sampleRate);
    std::vector<std::int16_t> pcm(frames * static_cast<std::size_t>(p.channels));
    const double f1 = 220.0 * (1 + p.tone % 5);
    const double f2 = 330.0 + 37.0 * p.tone;
    for (std::size_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / p.sampleRate;
        for (int c = 0; c < p.channels; ++c) {
            const double v = 6000 * std::sin(2 * M_PI * f1 * t + c) + 3000 * std::sin(2 * M_PI * f2 * t * (1 + 0.1 * c)) +
                             500 * std::sin(2 * M_PI * 7.3 * t);
            pcm[i * static_cast<std::size_t>(p.channels) + static_cast<std::size_t>(c)] = static_cast<std::int16_t>(v);
        }
    }
    return pcm;
}

struct Mpg123Deleter {
    void operator()(mpg123_handle* h) const
    {
        mpg123_close(h);
        mpg123_delete(h);
    }
};

std::unique_ptr<mpg123_handle, Mpg123Deleter> OpenMpg123(const std::string& path, bool ignoreInfo)
{
    // The output format is the first frame's rate and channel count as 16-bit samples, fixed
    // before opening, as the player does.
    long rate = 0;
    int channels = 0;
    {
        std::unique_ptr<mpg123_handle, Mpg123Deleter> probe(mpg123_new(nullptr, nullptr));
        mpg123_param(probe.get(), MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_IGNORE_INFOFRAME, 0);
        mpg123_param(probe.get(), MPG123_RESYNC_LIMIT, -1, 0);
        int encoding = 0;
        if (mpg123_open(probe.get(), path.c_str()) != MPG123_OK ||
            mpg123_getformat(probe.get(), &rate, &channels, &encoding) != MPG123_OK)
            throw std::runtime_error("mpg123 cannot read " + path);
    }
    std::unique_ptr<mpg123_handle, Mpg123Deleter> h(mpg123_new(nullptr, nullptr));
    mpg123_param(h.get(), MPG123_ADD_FLAGS, MPG123_QUIET | (ignoreInfo ? MPG123_IGNORE_INFOFRAME : 0), 0);
    mpg123_param(h.get(), MPG123_RESYNC_LIMIT, -1, 0);
    mpg123_format_none(h.get());
    mpg123_format(h.get(), rate, channels, MPG123_ENC_SIGNED_16);
    if (mpg123_open(h.get(), path.c_str()) != MPG123_OK)
        throw std::runtime_error("mpg123_open " + path);
    return h;
}

}  // namespace

std::string EncodeMp3(const EncodeParams& p)
{
    testing_support::Mp3EncodeOptions options;
    options.kbps = p.kbps;
    options.bitReservoir = true;
    options.infoFrame = p.infoFrame;
    std::string mp3 = testing_support::EncodeMp3(Signal(p), p.sampleRate, p.channels, options);
    if (mp3.empty())
        throw std::runtime_error("libmp3lame refused the format");
    return mp3;
}

std::vector<std::int16_t> ReferenceDecode(const std::string& path, std::int64_t fromFrame)
{
    auto h = OpenMpg123(path, true);
    if (fromFrame > 0 && mpg123_seek(h.get(), static_cast<off_t>(fromFrame), SEEK_SET) < 0)
        throw std::runtime_error("mpg123_seek");
    std::vector<std::int16_t> samples;
    std::vector<unsigned char> buffer(1 << 16);
    for (;;) {
        std::size_t got = 0;
        const int rc = mpg123_read(h.get(), buffer.data(), buffer.size(), &got);
        const auto* s = reinterpret_cast<const std::int16_t*>(buffer.data());
        samples.insert(samples.end(), s, s + got / 2);
        if (rc != MPG123_OK && rc != MPG123_NEW_FORMAT)
            break;
    }
    return samples;
}

std::int64_t TrustingLength(const std::string& path)
{
    auto h = OpenMpg123(path, false);
    return static_cast<std::int64_t>(mpg123_length(h.get()));
}

std::vector<std::int16_t> ReadSamples(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::int16_t> samples(bytes.size() / 2);
    std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
    return samples;
}

std::vector<std::int16_t> WithoutZeros(const std::vector<std::int16_t>& samples)
{
    std::vector<std::int16_t> out;
    out.reserve(samples.size());
    for (std::int16_t s : samples)
        if (s != 0)
            out.push_back(s);
    return out;
}

std::string MakeWav(int sampleRate, int channels, double seconds)
{
    EncodeParams p;
    p.sampleRate = sampleRate;
    p.channels = channels;
    p.seconds = seconds;
    const std::vector<std::int16_t> pcm = Signal(p);
    const auto dataBytes = static_cast<std::uint32_t>(pcm.size() * 2);
    std::string wav;
    auto put32 = [&](std::uint32_t v) { for (int i = 0; i < 4; ++i) wav.push_back(static_cast<char>(v >> (8 * i))); };
    auto put16 = [&](std::uint16_t v) { for (int i = 0; i < 2; ++i) wav.push_back(static_cast<char>(v >> (8 * i))); };
    wav += "RIFF";
    put32(36 + dataBytes);
    wav += "WAVEfmt ";
    put32(16);
    put16(1);
    put16(static_cast<std::uint16_t>(channels));
    put32(static_cast<std::uint32_t>(sampleRate));
    put32(static_cast<std::uint32_t>(sampleRate * channels * 2));
    put16(static_cast<std::uint16_t>(channels * 2));
    put16(16);
    wav += "data";
    put32(dataBytes);
    wav.append(reinterpret_cast<const char*>(pcm.data()), dataBytes);
    return wav;
}

}  // namespace play_test
