#include "engine/play/PlaybackStream.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace play {

namespace {

// One second of decoded sound is kept ahead of the output.
std::size_t RingFrames(int rate) { return static_cast<std::size_t>(std::max(rate, 8000)); }

// Largest single decode; small enough that a seek request is noticed quickly.
constexpr std::size_t kMaxDecodeFrames = 4608;

}  // namespace

PlaybackStream::PlaybackStream(std::unique_ptr<Mp3Decoder> decoder)
    : m_decoder(std::move(decoder)),
      m_rate(m_decoder->SampleRate()),
      m_channels(m_decoder->Channels()),
      m_length(m_decoder->LengthFrames()),
      m_ring(RingFrames(m_rate), m_channels)
{
    m_thread = std::thread([this] { Run(); });
}

PlaybackStream::~PlaybackStream()
{
    m_stop.store(true, std::memory_order_release);
    // A seek or decode in progress ends at its next read instead of running to its end.
    m_decoder->Cancel();
    Wake();
    m_thread.join();
}

void PlaybackStream::Wake()
{
    m_wake.fetch_add(1, std::memory_order_release);
    m_wake.notify_one();
}

std::int64_t PlaybackStream::PositionFrames(std::int64_t heardIndex) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return PositionLocked(heardIndex);
}

std::int64_t PlaybackStream::PositionLocked(std::int64_t heardIndex) const
{
    if (m_requestSeq.load(std::memory_order_acquire) != m_servedSeq.load(std::memory_order_acquire))
        return m_seekTarget.load(std::memory_order_relaxed);
    if (m_drainedIndex >= 0 && heardIndex >= m_drainedIndex)
        return m_length;
    // The newest run that has begun to be heard, and how far into it the sound is.
    const std::size_t kept = std::min(m_runCount, kRuns);
    for (std::size_t k = 0; k < kept; ++k) {
        const Delivered& run = m_runs[(m_runCount - 1 - k) % kRuns];
        if (run.index <= heardIndex)
            return std::min(run.frame + std::min(run.frames, heardIndex - run.index), m_length);
    }
    return kept == kRuns ? m_runs[m_runCount % kRuns].frame : m_base;
}

void PlaybackStream::SeekFrame(std::int64_t frame)
{
    {
        // Under the lock so Pull and PositionFrames see the request together with its target.
        std::lock_guard<std::mutex> lock(m_mutex);
        m_seekTarget.store(std::clamp<std::int64_t>(frame, 0, m_length), std::memory_order_relaxed);
        m_requestSeq.fetch_add(1, std::memory_order_acq_rel);
    }
    Wake();
}

void PlaybackStream::SeekSeconds(double seconds)
{
    if (!(seconds > 0.0)) // also NaN
        seconds = 0.0;
    SeekFrame(static_cast<std::int64_t>(std::llround(std::min(seconds * m_rate, static_cast<double>(m_length)))));
}

void PlaybackStream::Pull(std::int16_t* out, std::size_t frames, std::int64_t index)
{
    std::size_t got = 0;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_requestSeq.load(std::memory_order_acquire) == m_servedSeq.load(std::memory_order_acquire)) {
            got = m_ring.Read(out, frames);
            const auto n = static_cast<std::int64_t>(got);
            if (n > 0) {
                Delivered* last = m_runCount > 0 ? &m_runs[(m_runCount - 1) % kRuns] : nullptr;
                if (last && last->index + last->frames == index && last->frame + last->frames == m_next)
                    last->frames += n;
                else
                    m_runs[m_runCount++ % kRuns] = Delivered{index, m_next, n};
                m_next += n;
            }
            // Nothing left to read and nothing more coming: once this is heard, all was.
            if (got < frames && m_drainedIndex < 0 && m_endOfData.load(std::memory_order_acquire) &&
                m_ring.AvailableFrames() == 0)
                m_drainedIndex = index + n;
        }
    }
    if (got < frames)
        std::memset(out + got * static_cast<std::size_t>(m_channels), 0,
                    (frames - got) * static_cast<std::size_t>(m_channels) * sizeof(std::int16_t));
    // The decoder refills in large steps: it is woken once half the ring is free, not for
    // every buffer, which keeps thread switches to a few per second.
    if (m_ring.AvailableFrames() <= m_ring.CapacityFrames() / 2)
        Wake();
}

void PlaybackStream::OutputStopped(std::int64_t heardIndex)
{
    bool replay = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_requestSeq.load(std::memory_order_acquire) == m_servedSeq.load(std::memory_order_acquire)) {
            const std::int64_t heard = PositionLocked(heardIndex);
            // What was pulled but never reached the listener is decoded again from the heard
            // place: the next Play goes on from there.
            if (heard < m_next) {
                m_seekTarget.store(heard, std::memory_order_relaxed);
                m_requestSeq.fetch_add(1, std::memory_order_acq_rel);
                replay = true;
            }
            m_base = heard;
            m_next = heard;
        }
        m_runCount = 0;
        m_drainedIndex = -1;
    }
    if (replay)
        Wake();
}

void PlaybackStream::Run()
{
    std::uint64_t served = 0;
    std::int64_t decodedTo = 0;  // next frame the decoder delivers
    bool ended = false;
    while (!m_stop.load(std::memory_order_acquire)) {
        const std::uint32_t wake = m_wake.load(std::memory_order_acquire);

        const std::uint64_t request = m_requestSeq.load(std::memory_order_acquire);
        if (request != served) {
            const std::int64_t target = m_seekTarget.load(std::memory_order_relaxed);
            const bool ok = m_decoder->SeekFrame(target);
            std::lock_guard<std::mutex> lock(m_mutex);
            m_ring.Reset();
            m_base = target;
            m_next = target;
            m_runCount = 0;
            m_drainedIndex = -1;
            ended = !ok || target >= m_length;
            m_endOfData.store(ended, std::memory_order_release);
            decodedTo = target;
            served = request;
            m_servedSeq.store(request, std::memory_order_release);
            continue;
        }

        if (!ended) {
            std::size_t room = 0;
            std::int16_t* region = m_ring.WriteRegion(room);
            // Wait for a useful amount of room rather than decoding in crumbs.
            const std::size_t free = m_ring.CapacityFrames() - m_ring.AvailableFrames();
            if (free >= std::min<std::size_t>(kMaxDecodeFrames, m_ring.CapacityFrames() / 4)) {
                const std::size_t want = static_cast<std::size_t>(
                    std::min<std::int64_t>(static_cast<std::int64_t>(std::min(room, kMaxDecodeFrames)), m_length - decodedTo));
                const std::size_t got = want > 0 ? m_decoder->Read(region, want) : 0;
                m_ring.CommitWrite(got);
                decodedTo += static_cast<std::int64_t>(got);
                if (got == 0 || decodedTo >= m_length) {
                    ended = true;
                    m_endOfData.store(true, std::memory_order_release);
                }
                continue;
            }
        }
        m_wake.wait(wake, std::memory_order_acquire);
    }
}

}  // namespace play
