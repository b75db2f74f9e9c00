#include "engine/play/Mp3FrameMap.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <optional>

#include "engine/play/FileWindow.h"

namespace play {

namespace {

// libmpg123 refuses larger frames; a free-format size beyond it is no stream it can play.
constexpr int kMaxFrameBytes = 3456;
// A sync found in the open counts once this many following frames chain on from it (or the
// chain meets the end of the file or a tag first).
constexpr int kConfirmFrames = 2;
// Header bits two frames of one run share, whatever their padding, mode and flags.
constexpr std::uint32_t kSameFrameMask = 0xFFFEFC00;

std::uint32_t Bits(const unsigned char* b)
{
    return (std::uint32_t{b[0]} << 24) | (std::uint32_t{b[1]} << 16) | (std::uint32_t{b[2]} << 8) | b[3];
}

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

// The smallest Layer III frame with the header at b: its header, checksum and side
// information and a byte of audio data. libmpg123 cannot decode a smaller one.
int SmallestLayer3Frame(const unsigned char* b)
{
    const bool mono = (b[3] >> 6) == 3;
    const bool mpeg1 = ((b[1] >> 3) & 3) == 3;
    const int sideInfo = mpeg1 ? (mono ? 17 : 32) : (mono ? 9 : 17);
    return 4 + ((b[1] & 1) ? 0 : 2) + sideInfo + 1;
}

// The size without padding of the free-format frame at pos: the distance to the next header
// of the same stream and channel count, less this frame's padding. 0 when there is none
// within libmpg123's largest frame, or the frame is not Layer III.
int FreeFormatBytes(FileWindow& file, std::int64_t pos)
{
    const unsigned char* b = file.At(pos, 4);
    if (!b)
        return 0;
    // Layer III only: the free-format files in use are Layer III, and libmpg123 does not
    // size free-format frames of the other layers the way their headers say.
    if (((b[1] >> 1) & 3) != 1)
        return 0;
    const std::uint32_t bits = Bits(b);
    const bool mono = (b[3] >> 6) == 3;
    const int padding = (b[2] >> 1) & 1;
    for (int distance = SmallestLayer3Frame(b); distance <= kMaxFrameBytes; ++distance) {
        const unsigned char* n = file.At(pos + distance, 4);
        if (!n)
            return 0;
        if (n[0] == 0xFF && ((Bits(n) ^ bits) & kSameFrameMask) == 0 && ((n[3] >> 6) == 3) == mono &&
            MpegFrameHeader::IsFreeFormat(n))
            return distance - padding;
    }
    return 0;
}

// The complete frame at pos, of the run of ref when given (of any stream otherwise).
std::optional<MpegFrameHeader> FrameAt(FileWindow& file, std::int64_t pos, const MpegFrameHeader* ref)
{
    const unsigned char* b = file.At(pos, 4);
    if (!b)
        return std::nullopt;
    int freeBytes = 0;
    if (MpegFrameHeader::IsFreeFormat(b)) {
        freeBytes = ref ? ref->freeFormatBytes : FreeFormatBytes(file, pos);
        if (freeBytes <= 0 || !(b = file.At(pos, 4)) || freeBytes + ((b[2] >> 1) & 1) < SmallestLayer3Frame(b))
            return std::nullopt;
    }
    auto h = MpegFrameHeader::Parse(b, freeBytes);
    if (!h || (ref && !h->SameRun(*ref)) || h->frameBytes > kMaxFrameBytes || pos + h->frameBytes > file.FileBytes())
        return std::nullopt;
    return h;
}

bool TagAt(FileWindow& file, std::int64_t pos)
{
    const unsigned char* b = file.At(pos, 3);
    return b && (std::memcmp(b, "TAG", 3) == 0 || std::memcmp(b, "APE", 3) == 0 || std::memcmp(b, "ID3", 3) == 0);
}

// A sync found by searching is believed when the frames after it chain on (kConfirmFrames of
// them, or up to a tag or the end of the file).
bool Confirmed(FileWindow& file, std::int64_t pos, const MpegFrameHeader& h)
{
    std::int64_t next = pos + h.frameBytes;
    for (int i = 0; i < kConfirmFrames; ++i) {
        if (next == file.FileBytes() || TagAt(file, next))
            return true;
        const auto n = FrameAt(file, next, &h);
        if (!n)
            return false;
        next += n->frameBytes;
    }
    return true;
}

// The next believable sync from pos on, of any stream; pos is moved to it.
std::optional<MpegFrameHeader> SearchSync(FileWindow& file, std::int64_t& pos)
{
    for (;;) {
        std::size_t available = 0;
        const unsigned char* b = file.From(pos, available);
        if (!b)
            return std::nullopt;
        const auto* hit = static_cast<const unsigned char*>(std::memchr(b, 0xFF, available));
        if (!hit) {
            pos = file.NextData(pos + static_cast<std::int64_t>(available));
            continue;
        }
        pos += hit - b;
        if (auto h = FrameAt(file, pos, nullptr); h && Confirmed(file, pos, *h))
            return h;
        ++pos;
    }
}

}  // namespace

bool Mp3FrameMap::Build(int fd, std::int64_t fileBytes)
{
    try {
        if (Walk(fd, fileBytes))
            return true;
    } catch (const std::bad_alloc&) {
    }
    m_offsets = {};
    m_runs = {};
    m_totalSamples = 0;
    m_header = {};
    m_freeFormatBytes = 0;
    return false;
}

bool Mp3FrameMap::Walk(int fd, std::int64_t fileBytes)
{
    m_offsets.clear();
    m_runs.clear();
    m_totalSamples = 0;
    FileWindow file(fd, fileBytes);

    std::int64_t pos = 0;
    while (const unsigned char* b = file.At(pos, 10)) {
        const std::int64_t tag = Id3v2Length(b);
        if (tag == 0)
            break;
        pos += tag;
    }

    std::optional<MpegFrameHeader> ref;  // the current run's first header
    Run run;
    // Fast path for the usual case, a frame just like the run's first one (same version,
    // layer, bitrate and rate; only padding, mode and flag bits differ): no full parse.
    std::uint32_t refBits = 0;
    std::int64_t refBytes = 0;     // frame size without padding
    std::int64_t paddingBytes = 0; // what the padding bit adds
    bool refMono = false;
    auto endRun = [&] {
        run.end = pos;
        m_runs.push_back(run);
        ref.reset();
    };
    while (pos < fileBytes) {
        if (ref) {
            // (Free-format frames always take the full check: their size limits depend on
            // each frame's checksum bit.)
            if (const unsigned char* b = ref->freeFormatBytes == 0 ? file.At(pos, 4) : nullptr) {
                const std::uint32_t bits = Bits(b);
                const std::int64_t size = refBytes + ((bits >> 9) & 1) * paddingBytes;
                if ((bits & kSameFrameMask) == refBits && (bits & 3) != 2 && (((bits >> 6) & 3) == 3) == refMono &&
                    pos + size <= fileBytes) {
                    m_offsets.push_back(pos);
                    ++run.frames;
                    pos += size;
                    continue;
                }
            }
            if (auto h = FrameAt(file, pos, &*ref)) {
                m_offsets.push_back(pos);
                ++run.frames;
                pos += h->frameBytes;
                continue;
            }
            endRun();
        }
        auto h = FrameAt(file, pos, nullptr);
        if (!h || !Confirmed(file, pos, *h)) {
            ++pos;
            h = SearchSync(file, pos);
            if (!h)
                break;
        }
        ref = h;
        run = Run{};
        run.begin = pos;
        run.firstFrame = static_cast<std::int64_t>(m_offsets.size());
        run.header = *h;
        const unsigned char* b = file.At(pos, 4);
        refBits = Bits(b) & kSameFrameMask;
        refMono = h->Channels() == 1;
        paddingBytes = h->layer == 1 ? 4 : 1;
        refBytes = h->frameBytes - ((b[2] >> 1) & 1) * paddingBytes;
        m_offsets.push_back(pos);
        ++run.frames;
        pos += h->frameBytes;
    }
    if (ref)
        endRun();
    if (file.Failed() || m_runs.empty())
        return false;
    KeepLongestFormat();
    return true;
}

void Mp3FrameMap::KeepLongestFormat()
{
    // Longest by duration: samples × the other's rate compares exactly.
    const Run* longest = &m_runs.front();
    for (const Run& r : m_runs)
        if (r.Samples() * longest->header.sampleRate > longest->Samples() * r.header.sampleRate)
            longest = &r;
    m_header = longest->header;

    std::size_t kept = 0;
    std::int64_t written = 0;
    std::int64_t samples = 0;
    std::int64_t streamBytes = 0;
    // libmpg123 takes one free-format frame size per stream: the first played one's.
    m_freeFormatBytes = m_header.freeFormatBytes;
    for (const Run& r : m_runs) {
        if (r.header.sampleRate != m_header.sampleRate || r.header.Channels() != m_header.Channels())
            continue;
        if (r.header.freeFormatBytes > 0) {
            if (m_freeFormatBytes == 0)
                m_freeFormatBytes = r.header.freeFormatBytes;
            if (r.header.freeFormatBytes != m_freeFormatBytes)
                continue;
        }
        Run k = r;
        std::copy(m_offsets.begin() + r.firstFrame, m_offsets.begin() + r.firstFrame + r.frames, m_offsets.begin() + written);
        k.firstFrame = written;
        k.firstSample = samples;
        k.streamBegin = streamBytes;
        written += r.frames;
        samples += r.Samples();
        streamBytes += r.end - r.begin;
        m_runs[kept++] = k;
    }
    m_runs.resize(kept);
    m_offsets.resize(static_cast<std::size_t>(written));
    m_totalSamples = samples;
}

const Mp3FrameMap::Run* Mp3FrameMap::RunOfFrame(std::int64_t frame) const
{
    if (m_runs.empty())
        return nullptr;
    auto it = std::upper_bound(m_runs.begin(), m_runs.end(), frame,
                               [](std::int64_t f, const Run& r) { return f < r.firstFrame; });
    return it == m_runs.begin() ? &m_runs.front() : &*(it - 1);
}

std::int64_t Mp3FrameMap::FrameOfSample(std::int64_t sample, const Run** run) const
{
    if (m_runs.empty()) {
        if (run)
            *run = nullptr;
        return 0;
    }
    sample = std::clamp<std::int64_t>(sample, 0, m_totalSamples);
    auto it = std::upper_bound(m_runs.begin(), m_runs.end(), sample,
                               [](std::int64_t s, const Run& r) { return s < r.firstSample; });
    const Run& r = it == m_runs.begin() ? m_runs.front() : *(it - 1);
    if (run)
        *run = &r;
    return std::min(r.firstFrame + (sample - r.firstSample) / r.header.samplesPerFrame, r.firstFrame + r.frames);
}

std::int64_t Mp3FrameMap::SampleOfFrame(std::int64_t frame) const
{
    const Run* r = RunOfFrame(frame);
    if (!r)
        return 0;
    return r->firstSample + (std::min(frame, r->firstFrame + r->frames) - r->firstFrame) * r->header.samplesPerFrame;
}

std::int64_t Mp3FrameMap::StreamOffsetOfFrame(std::int64_t frame) const
{
    const Run* r = RunOfFrame(frame);
    if (!r)
        return 0;
    if (frame >= r->firstFrame + r->frames)
        return r->streamBegin + (r->end - r->begin);
    return r->streamBegin + (m_offsets[static_cast<std::size_t>(frame)] - r->begin);
}

}  // namespace play
