#include "engine/play/Mp3Decoder.h"

#include <mpg123.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <mutex>

namespace play {

namespace {

void InitLibraryOnce()
{
    static std::once_flag once;
    std::call_once(once, [] {
#if MPG123_API_VERSION < 46
        mpg123_init();
#endif
    });
}

// MPEG frames decoded ahead of a seek target and dropped, so the bit reservoir and the
// filters are filled again (LAME's reservoir reaches back at most 511 bytes).
constexpr long kWarmUpFrames = 4;
// libmpg123's synthesis window turns through 16 positions, 18 per 576 samples, and keeps
// turning across seeks; its rounding depends on the position. After 8 MPEG frames of any
// layer it stands where it started.
constexpr std::int64_t kPhaseFrames = 8;

}  // namespace

void Mp3Decoder::HandleDeleter::operator()(mpg123_handle_struct* h) const
{
    mpg123_close(h);
    mpg123_delete(h);
}

Mp3Decoder::Mp3Decoder() = default;
Mp3Decoder::~Mp3Decoder() = default;

bool Mp3Decoder::Open(int fd, std::int64_t fileBytes)
{
    m_handle.reset();
    m_fd = fd;
    if (!m_map.Build(fd, fileBytes) || !Restart())
        return false;
    m_blockBytes = mpg123_outblock(m_handle.get());
    m_block.reset(static_cast<unsigned char*>(std::aligned_alloc(64, (m_blockBytes + 63) / 64 * 64)));
    if (!m_block) {
        m_handle.reset();
        return false;
    }
    return true;
}

bool Mp3Decoder::Restart()
{
    m_handle.reset();
    m_pendingAt = m_pendingEnd = 0;
    InitLibraryOnce();
    int err = MPG123_OK;
    std::unique_ptr<mpg123_handle_struct, HandleDeleter> h(mpg123_new(nullptr, &err));
    if (!h)
        return false;
    const MpegFrameHeader& first = m_map.FirstHeader();
    if (mpg123_param(h.get(), MPG123_ADD_FLAGS, MPG123_IGNORE_INFOFRAME | MPG123_QUIET, 0) != MPG123_OK ||
        mpg123_param(h.get(), MPG123_RESYNC_LIMIT, -1, 0) != MPG123_OK ||
        mpg123_param(h.get(), MPG123_PREFRAMES, kWarmUpFrames, 0) != MPG123_OK ||
        mpg123_format_none(h.get()) != MPG123_OK ||
        mpg123_format(h.get(), first.sampleRate, first.Channels() == 1 ? MPG123_MONO : MPG123_STEREO,
                      MPG123_ENC_SIGNED_16) != MPG123_OK)
        return false;

    if (::lseek(m_fd, 0, SEEK_SET) != 0 || mpg123_open_fd(h.get(), m_fd) != MPG123_OK)
        return false;
    long rate = 0;
    int channels = 0;
    int encoding = 0;
    if (mpg123_getformat(h.get(), &rate, &channels, &encoding) != MPG123_OK)
        return false;

    // Every frame's offset goes in, so a seek lands on its frame without reading ahead.
    static_assert(sizeof(off_t) == sizeof(std::int64_t), "64-bit file offsets expected");
    auto* offsets = reinterpret_cast<off_t*>(const_cast<std::int64_t*>(m_map.Offsets().data()));
    if (mpg123_set_index(h.get(), offsets, 1, m_map.Offsets().size()) != MPG123_OK)
        return false;
    mpg123_volume(h.get(), m_volume);
    m_handle = std::move(h);
    return true;
}

bool Mp3Decoder::SeekFrame(std::int64_t frame)
{
    if (!m_handle)
        return false;
    frame = std::clamp<std::int64_t>(frame, 0, LengthFrames());
    // A fresh libmpg123 handle (its synthesis window at its first position) resumes decoding
    // kWarmUpFrames MPEG frames before the landing frame; with that start a multiple of
    // kPhaseFrames from the file's start, every sample equals a decode from the start. The
    // few samples between the landing frame and the target are decoded and dropped.
    const MpegFrameHeader& first = m_map.FirstHeader();
    const std::int64_t warmUp = first.layer == 3 ? kWarmUpFrames : std::min<long>(kWarmUpFrames, 2);
    const std::int64_t mpegFrame = frame / first.samplesPerFrame;
    std::int64_t landing = 0;
    if (mpegFrame >= warmUp + kPhaseFrames)
        landing = (mpegFrame - warmUp) / kPhaseFrames * kPhaseFrames + warmUp;
    if (!Restart())
        return false;
    if (mpg123_seek(m_handle.get(), static_cast<off_t>(landing * first.samplesPerFrame), SEEK_SET) < 0)
        return false;
    std::int64_t skip = frame - landing * first.samplesPerFrame;
    std::int16_t scratch[4096];
    const std::int64_t perRead = static_cast<std::int64_t>(std::size(scratch)) / Channels();
    while (skip > 0) {
        const std::size_t got = Read(scratch, static_cast<std::size_t>(std::min(skip, perRead)));
        if (got == 0)
            return false;
        skip -= static_cast<std::int64_t>(got);
    }
    return true;
}

std::size_t Mp3Decoder::Read(std::int16_t* out, std::size_t maxFrames)
{
    if (!m_handle)
        return 0;
    const std::size_t channels = static_cast<std::size_t>(Channels());
    std::size_t done = 0;
    while (done < maxFrames) {
        if (m_pendingAt == m_pendingEnd) {
            // Whole frames are decoded into an aligned block of our own and copied from there.
            std::size_t got = 0;
            const int rc = mpg123_read(m_handle.get(), m_block.get(), m_blockBytes, &got);
            m_pendingAt = 0;
            m_pendingEnd = got / sizeof(std::int16_t);
            // MPG123_DONE at the end; any error that yields nothing ends the data here as well.
            if (got == 0 && rc != MPG123_NEW_FORMAT)
                break;
            continue;
        }
        const std::size_t n = std::min(maxFrames - done, (m_pendingEnd - m_pendingAt) / channels);
        const auto* block = reinterpret_cast<const std::int16_t*>(m_block.get());
        std::memcpy(out + done * channels, block + m_pendingAt, n * channels * sizeof(std::int16_t));
        m_pendingAt += n * channels;
        done += n;
    }
    return done;
}

void Mp3Decoder::SetVolume(double factor)
{
    m_volume = factor;
    if (m_handle)
        mpg123_volume(m_handle.get(), factor);
}

}  // namespace play
