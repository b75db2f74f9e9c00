#include "engine/play/Mp3Decoder.h"

#include <mpg123.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <mutex>
#include <new>

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
constexpr std::int64_t kWarmUpFrames = 4;
// libmpg123's synthesis window turns through 16 positions, 18 per 576 samples, and keeps
// turning across frames; its rounding depends on the position. After 8 MPEG frames of any
// layer it stands where it started.
constexpr std::int64_t kPhaseFrames = 8;

// libmpg123's reads and seeks on our stream.
mpg123_ssize_t ReadStream(void* stream, void* out, size_t n) { return static_cast<RunStream*>(stream)->Read(out, n); }
off_t SeekStream(void* stream, off_t offset, int whence)
{
    return static_cast<off_t>(static_cast<RunStream*>(stream)->Seek(offset, whence));
}

}  // namespace

void Mp3Decoder::HandleDeleter::operator()(mpg123_handle_struct* h) const
{
    mpg123_close(h);
    mpg123_delete(h);
}

Mp3Decoder::Mp3Decoder() = default;
Mp3Decoder::~Mp3Decoder()
{
    // The handle reads from the stream until it is closed.
    m_handle.reset();
}

bool Mp3Decoder::Open(int fd, std::int64_t fileBytes)
{
    m_handle.reset();
    m_stream.reset();
    try {
        if (!m_map.Build(fd, fileBytes))
            return false;
        m_stream = std::make_unique<RunStream>(fd, fileBytes, m_map);
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (!Restart(0))
        return false;
    m_blockBytes = mpg123_outblock(m_handle.get());
    m_block.reset(static_cast<unsigned char*>(
        ::operator new[]((m_blockBytes + 63) / 64 * 64, kBlockAlignment, std::nothrow)));
    if (!m_block) {
        m_handle.reset();
        return false;
    }
    return true;
}

void Mp3Decoder::Cancel()
{
    if (m_stream)
        m_stream->Cancel();
}

bool Mp3Decoder::Restart(std::int64_t frame)
{
    m_handle.reset();
    m_pendingAt = m_pendingEnd = 0;
    if (!m_stream || m_stream->Cancelled())
        return false;
    InitLibraryOnce();
    int err = MPG123_OK;
    std::unique_ptr<mpg123_handle_struct, HandleDeleter> h(mpg123_new(nullptr, &err));
    if (!h)
        return false;
    const MpegFrameHeader& format = m_map.Header();
    // The stream holds only confirmed frames, so libmpg123 need not look ahead to the next
    // frame to believe the first (it would drop a lone frame of a layer that another follows).
    // A free-format size is told rather than guessed from the next frame for the same reason
    // (libmpg123 counts it without the four header bytes).
    const long freeBytes = m_map.FreeFormatBytes();
    if (mpg123_param(h.get(), MPG123_ADD_FLAGS, MPG123_IGNORE_INFOFRAME | MPG123_QUIET | MPG123_NO_READAHEAD, 0) != MPG123_OK ||
        (freeBytes > 0 && mpg123_param(h.get(), MPG123_FREEFORMAT_SIZE, freeBytes - 4, 0) != MPG123_OK) ||
        mpg123_param(h.get(), MPG123_RESYNC_LIMIT, -1, 0) != MPG123_OK ||
        mpg123_format_none(h.get()) != MPG123_OK ||
        mpg123_format(h.get(), format.sampleRate, format.Channels() == 1 ? MPG123_MONO : MPG123_STEREO,
                      MPG123_ENC_SIGNED_16) != MPG123_OK)
        return false;

    static_assert(sizeof(off_t) == sizeof(std::int64_t), "64-bit file offsets expected");
    m_stream->SetOrigin(m_map.StreamOffsetOfFrame(frame));
    if (mpg123_replace_reader_handle(h.get(), ReadStream, SeekStream, nullptr) != MPG123_OK ||
        mpg123_open_handle(h.get(), m_stream.get()) != MPG123_OK)
        return false;
    long rate = 0;
    int channels = 0;
    int encoding = 0;
    if (frame < m_map.FrameCount() && mpg123_getformat(h.get(), &rate, &channels, &encoding) != MPG123_OK)
        return false;
    mpg123_volume(h.get(), m_volume);
    m_handle = std::move(h);
    return true;
}

bool Mp3Decoder::SeekFrame(std::int64_t frame)
{
    if (!m_handle && !m_stream)
        return false;
    frame = std::clamp<std::int64_t>(frame, 0, LengthFrames());
    // A fresh libmpg123 handle (its synthesis window at its first position) starts decoding
    // kWarmUpFrames MPEG frames before the landing frame, at a multiple of kPhaseFrames from
    // the file's start, so every sample equals a decode from the start. The warm-up frames
    // and the samples between the landing frame and the target are decoded and dropped.
    const Mp3FrameMap::Run* run = nullptr;
    const std::int64_t mpegFrame = m_map.FrameOfSample(frame, &run);
    const std::int64_t warmUp = run && run->header.layer == 3 ? kWarmUpFrames : std::min<std::int64_t>(kWarmUpFrames, 2);
    std::int64_t start = 0;
    if (mpegFrame >= warmUp + kPhaseFrames)
        start = (mpegFrame - warmUp) / kPhaseFrames * kPhaseFrames;
    if (!Restart(start))
        return false;
    std::int64_t skip = frame - m_map.SampleOfFrame(start);
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
