#include "engine/play/Mp3Decoder.h"

#include <mpg123.h>
#include <unistd.h>

#include <algorithm>
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
    if (!m_map.Build(fd, fileBytes))
        return false;

    InitLibraryOnce();
    int err = MPG123_OK;
    std::unique_ptr<mpg123_handle_struct, HandleDeleter> h(mpg123_new(nullptr, &err));
    if (!h)
        return false;
    const MpegFrameHeader& first = m_map.FirstHeader();
    if (mpg123_param(h.get(), MPG123_ADD_FLAGS, MPG123_IGNORE_INFOFRAME | MPG123_QUIET, 0) != MPG123_OK ||
        mpg123_param(h.get(), MPG123_RESYNC_LIMIT, -1, 0) != MPG123_OK ||
        mpg123_format_none(h.get()) != MPG123_OK ||
        mpg123_format(h.get(), first.sampleRate, first.Channels() == 1 ? MPG123_MONO : MPG123_STEREO,
                      MPG123_ENC_SIGNED_16) != MPG123_OK)
        return false;

    if (::lseek(fd, 0, SEEK_SET) != 0 || mpg123_open_fd(h.get(), fd) != MPG123_OK)
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
    m_handle = std::move(h);
    return SeekFrame(0);
}

bool Mp3Decoder::SeekFrame(std::int64_t frame)
{
    if (!m_handle)
        return false;
    frame = std::clamp<std::int64_t>(frame, 0, LengthFrames());
    return mpg123_seek(m_handle.get(), static_cast<off_t>(frame), SEEK_SET) >= 0;
}

std::size_t Mp3Decoder::Read(std::int16_t* out, std::size_t maxFrames)
{
    if (!m_handle)
        return 0;
    const std::size_t frameBytes = sizeof(std::int16_t) * static_cast<std::size_t>(Channels());
    const std::size_t wanted = maxFrames * frameBytes;
    std::size_t done = 0;
    while (done < wanted) {
        std::size_t got = 0;
        const int rc = mpg123_read(m_handle.get(), reinterpret_cast<unsigned char*>(out) + done, wanted - done, &got);
        done += got;
        // MPG123_DONE at the end; any error that yields nothing ends the data here as well.
        if (rc == MPG123_DONE || (got == 0 && rc != MPG123_NEW_FORMAT))
            break;
    }
    return done / frameBytes;
}

void Mp3Decoder::SetVolume(double factor)
{
    if (m_handle)
        mpg123_volume(m_handle.get(), factor);
}

}  // namespace play
