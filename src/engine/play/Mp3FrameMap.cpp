#include "engine/play/Mp3FrameMap.h"

#include <cstring>
#include <optional>

#include "engine/play/FileWindow.h"

namespace play {

namespace {

// Length of an ID3v2 tag starting at b (10 readable bytes), or 0 when there is none.
std::int64_t Id3v2Length(const unsigned char* b)
{
    if (std::memcmp(b, "ID3", 3) != 0 || b[3] == 0xFF || b[4] == 0xFF)
        return 0;
    for (int i = 6; i < 10; ++i)
        if (b[i] & 0x80)
            return 0;
    const std::int64_t size = (std::int64_t{b[6]} << 21) | (b[7] << 14) | (b[8] << 7) | b[9];
    return 10 + size + ((b[5] & 0x10) ? 10 : 0);
}

// Header at pos when it is a complete frame of the stream (or of any stream when ref is none).
std::optional<MpegFrameHeader> FrameAt(FileWindow& file, std::int64_t pos, std::int64_t fileBytes,
                                       const std::optional<MpegFrameHeader>& ref)
{
    const unsigned char* b = file.At(pos, 4);
    if (!b)
        return std::nullopt;
    auto h = MpegFrameHeader::Parse(b);
    if (!h || (ref && !h->SameStream(*ref)) || pos + h->frameBytes > fileBytes)
        return std::nullopt;
    return h;
}

// A sync found by searching is believed when the frame is followed by another frame of the
// same stream, by a tag, or by the end of the file.
bool Confirmed(FileWindow& file, std::int64_t pos, const MpegFrameHeader& h, std::int64_t fileBytes)
{
    const std::int64_t next = pos + h.frameBytes;
    if (next == fileBytes)
        return true;
    if (FrameAt(file, next, fileBytes, h))
        return true;
    const unsigned char* b = file.At(next, 3);
    return b && (std::memcmp(b, "TAG", 3) == 0 || std::memcmp(b, "APE", 3) == 0 || std::memcmp(b, "ID3", 3) == 0);
}

}  // namespace

bool Mp3FrameMap::Build(int fd, std::int64_t fileBytes)
{
    m_offsets.clear();
    m_totalSamples = 0;
    FileWindow file(fd, fileBytes);

    std::int64_t pos = 0;
    while (const unsigned char* b = file.At(pos, 10)) {
        const std::int64_t tag = Id3v2Length(b);
        if (tag == 0)
            break;
        pos += tag;
    }

    std::optional<MpegFrameHeader> ref;
    // Fast path for the usual case, a frame just like the first one (same version, layer,
    // bitrate and rate; only padding, mode and flag bits differ): no full parse.
    constexpr std::uint32_t kSameFrameMask = 0xFFFEFC00;  // all but protection, padding, low bits
    std::uint32_t refBits = 0;
    std::int64_t refBytes = 0;     // frame size without padding
    std::int64_t paddingBytes = 0; // what the padding bit adds
    while (pos < fileBytes) {
        if (ref) {
            if (const unsigned char* b = file.At(pos, 4)) {
                const std::uint32_t bits = (std::uint32_t{b[0]} << 24) | (std::uint32_t{b[1]} << 16) | (std::uint32_t{b[2]} << 8) | b[3];
                const std::int64_t size = refBytes + ((bits >> 9) & 1) * paddingBytes;
                if ((bits & kSameFrameMask) == refBits && (bits & 3) != 2 && pos + size <= fileBytes) {
                    m_offsets.push_back(pos);
                    m_totalSamples += ref->samplesPerFrame;
                    pos += size;
                    continue;
                }
            }
        }
        auto h = FrameAt(file, pos, fileBytes, ref);
        if (h && !ref && !Confirmed(file, pos, *h, fileBytes))
            h.reset();
        if (!h) {
            // Search the next believable sync of this stream.
            const unsigned char* b = nullptr;
            for (++pos; (b = file.At(pos, 1)) != nullptr; ++pos) {
                if (*b != 0xFF)
                    continue;
                h = FrameAt(file, pos, fileBytes, ref);
                if (h && Confirmed(file, pos, *h, fileBytes))
                    break;
                h.reset();
            }
            if (!h)
                break;
        }
        if (!ref) {
            ref = h;
            m_first = *h;
            const unsigned char* b = file.At(pos, 4);
            refBits = ((std::uint32_t{b[0]} << 24) | (std::uint32_t{b[1]} << 16) | (std::uint32_t{b[2]} << 8) | b[3]) & kSameFrameMask;
            paddingBytes = h->layer == 1 ? 4 : 1;
            refBytes = h->frameBytes - ((b[2] >> 1) & 1) * paddingBytes;
            // Sized from the file so the vector never regrows on long files.
            m_offsets.reserve(static_cast<std::size_t>(fileBytes / h->frameBytes + 16));
        }
        m_offsets.push_back(pos);
        m_totalSamples += h->samplesPerFrame;
        pos += h->frameBytes;
    }
    return !file.Failed() && !m_offsets.empty();
}

}  // namespace play
