#include "engine/record/WaveRecorder.h"

#include <algorithm>
#include <cstring>
#include <thread>

#include "engine/record/AudioInputFactory.h"
#include "engine/record/PreRollRing.h"

namespace {

bool SameFormat(const WaveFormat& a, const WaveFormat& b)
{
    return a.channels == b.channels && a.samplesPerSec == b.samplesPerSec && a.bitsPerSample == b.bitsPerSample;
}

// Marks samples that lie before the input's timeline (the seconds kept before Record).
constexpr std::uint64_t kNoTimeline = ~std::uint64_t{0};

}  // namespace

CWaveRecorder::CWaveRecorder() : CWaveRecorder(WaveRecorderOptions{}) {}

CWaveRecorder::CWaveRecorder(WaveRecorderOptions options) : m_options(std::move(options))
{
    if (!m_options.makeDevice)
        m_options.makeDevice = [source = m_options.source] { return MakeDefaultAudioInput(source); };
    m_writer = m_options.libraryDirs.empty()
                   ? std::make_unique<CMp3Writer>()
                   : std::make_unique<CMp3Writer>(m_options.libraryDirs);
    if (m_options.fileSync)
        m_writer->SetFileSync(m_options.fileSync);
}

CWaveRecorder::~CWaveRecorder()
{
    if (!m_stopped)
        Stop();
    // Nothing below may be released while the input still delivers: this waits for its
    // delivery thread, then for the writer's last sync.
    if (m_input)
        m_input->Join();
    m_input.reset();
    m_mixer.reset();
    m_second.reset();
    m_options.kept.reset();
    m_writer->CloseFile();
    m_writer->CloseStream();
    m_writer.reset();
}

bool CWaveRecorder::Prepare(const TrackInfo& track)
{
    m_path = track.path;
    {
        std::lock_guard<std::mutex> lock(m_piecesMutex);
        m_pieces.assign(1, Piece{m_path, 0.0});
    }
    if (!OpenFile(track.path))
        return false;
    if (!SeekToEnd())
        return false;
    return SetFormat(track.bitrate, track.sampleRate, track.bitsPerSample, track.channels - 1);
}

bool CWaveRecorder::SetFormat(std::int32_t bitrate, std::int32_t sampleRate, std::int32_t bitsPerSample,
                              std::int32_t stereo)
{
    if (m_input)
        return false;  // the buffers are allocated once
    m_format = PcmFormat(static_cast<std::uint32_t>(sampleRate), stereo ? 2 : 1,
                         static_cast<std::uint16_t>(bitsPerSample));

    m_writer->Configure(bitrate / 1000, sampleRate, bitsPerSample, stereo);
    if (!m_writer->OpenStream())
        return false;
    const std::uint32_t chunk = m_writer->ChunkBytes();
    m_sampleCount = static_cast<int>(chunk / 2);
    m_chunkFrames = m_sampleCount / m_format.channels;
    if (chunk == 0 || bitsPerSample != 16 || sampleRate <= 0)
        return false;
    m_chunk.assign(static_cast<std::size_t>(m_sampleCount), 0);
    {
        std::lock_guard<std::mutex> lock(m_latestMutex);
        m_latest.assign(chunk / 2, 0);
    }
    m_shown.assign(chunk / 2, 0);
    if (m_options.voiceGate) {
        m_gate = std::make_unique<CVoiceGate>(*m_options.voiceGate, m_sampleCount, m_format.channels, sampleRate);
        m_encode = [this](const std::int16_t* samples) { Encode(samples); };
    }
    KeptInput* kept = m_options.kept.get();
    if (m_options.second) {
        const SecondSourceOptions& second = *m_options.second;
        // Apart, or into a mono recording, the second source's channels are averaged anyway.
        const bool mono = second.apart || m_format.channels < 2;
        m_second = std::make_unique<CSecondSource>(second.makeDevice, second.format, m_format.samplesPerSec, mono);
        m_mixer = std::make_unique<CSourceMixer>(*m_second, m_format, second.apart);
        // The kept seconds are laid out as the mix would lay them out (WriteKept).
        if (kept != nullptr && kept->ring)
            m_keptLaidOut.assign(kept->ring->ChunkSamples(), 0);
    }
    if (kept != nullptr && kept->input && SameFormat(kept->format, m_format) && kept->input->IsCapturing()) {
        // The input kept open before Record, as it runs.
        m_input = std::move(kept->input);
        return true;
    }
    m_input = std::make_unique<CCaptureInput>(m_options.makeDevice, m_format,
                                              CCaptureInput::BufferFramesFor(m_format.samplesPerSec),
                                              CCaptureInput::kQueueMilliseconds);
    return true;
}

double CWaveRecorder::Seconds(std::uint64_t frames) const
{
    return m_format.samplesPerSec > 0 ? static_cast<double>(frames) / m_format.samplesPerSec : 0.0;
}

double CWaveRecorder::SecondsWritten() const
{
    return Seconds(m_framesWritten.load(std::memory_order_acquire));
}

bool CWaveRecorder::Start()
{
    StartProgress progress = BeginStart();
    while (progress == StartProgress::Pending) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        progress = PollStart();
    }
    return progress == StartProgress::Started;
}

CWaveRecorder::StartProgress CWaveRecorder::BeginStart()
{
    if (!m_input || m_stopped || m_firstBegun || m_secondBegun)
        return StartProgress::Failed;
    if (m_second) {
        // The second source first: until it delivers, nothing reaches the recording.
        m_secondBegun = true;
        if (m_second->Begin() == StartProgress::Failed)
            return StartProgress::Failed;
        return PollStart();
    }
    return BeginFirst();
}

CWaveRecorder::StartProgress CWaveRecorder::BeginFirst()
{
    m_firstBegun = true;
    auto callback = [this](WaveHeader& h) { OnBuffer(h); };
    auto first = [this] { WriteKept(); };
    if (m_input->IsCapturing()) {
        // Taken over: from the next buffer on the recording's. The kept seconds go first.
        m_input->SetCallback(callback, first);
        return PollStart();
    }
    const StartProgress progress = m_input->Begin(callback, first);
    return progress == StartProgress::Pending ? progress : PollStart();
}

CWaveRecorder::StartProgress CWaveRecorder::PollStart()
{
    if (!m_input || m_stopped)
        return StartProgress::Failed;
    if (m_started.load(std::memory_order_acquire))
        return StartProgress::Started;
    if (!m_firstBegun) {
        // Every source must run before the first one delivers to the recording (and before a
        // kept input's seconds are written): a start that fails leaves the file as it was.
        const StartProgress second = m_second ? m_second->Poll() : StartProgress::Started;
        if (second != StartProgress::Started)
            return second;
        return BeginFirst();
    }
    const StartProgress progress = m_input->Poll();
    if (progress == StartProgress::Started)
        m_started.store(true, std::memory_order_release);
    // An input kept open in another format is closed only once the recording's own runs.
    if (progress == StartProgress::Started && m_options.kept && m_options.kept->input) {
        m_options.kept->input.reset();
        if (!SameFormat(m_options.kept->format, m_format) && m_options.kept->ring && m_options.kept->ring->Size() > 0)
            m_keptLeftOut = true;
    }
    return progress;
}

CWaveRecorder::DroppedInput CWaveRecorder::Dropped() const
{
    if (m_droppedAtStop)
        return *m_droppedAtStop;
    DroppedInput dropped;
    dropped.keptLeftOut = m_keptLeftOut.load();
    if (!m_input || !m_started.load(std::memory_order_acquire))
        return dropped;
    // A taken-over input's timeline began before Record: only what came after counts.
    const std::uint64_t from = m_recordFrom.load(std::memory_order_acquire);
    for (const InputDrop& drop : m_input->Drops()) {
        if (drop.atFrame + drop.frames <= from)
            continue;
        ++dropped.gaps;
        dropped.seconds += Seconds(drop.frames);
        dropped.gapList.push_back({Seconds(m_timeline.FileFrame(drop.atFrame)), Seconds(drop.frames)});
    }
    for (const InputSwitch& change : m_input->Switches())
        if (change.atFrame >= from)
            dropped.switches.push_back({change.source, Seconds(m_timeline.FileFrame(change.atFrame))});
    for (const CCaptureInput::Outage& outage : m_input->Outages())
        if (outage.atFrame >= from)
            dropped.outages.push_back({Seconds(m_timeline.FileFrame(outage.atFrame)), outage.wallSeconds});
    if (m_second) {
        const std::vector<CCaptureInput::Outage> outages = m_second->Outages();
        for (std::size_t i = 0; i < outages.size(); ++i) {
            const std::uint64_t at = i < m_secondLostAt.size() ? m_secondLostAt[i] : m_input->FramesIn();
            dropped.secondOutages.push_back({Seconds(m_timeline.FileFrame(at)), outages[i].wallSeconds});
        }
    }
    return dropped;
}

CWaveRecorder::StartFailure CWaveRecorder::LastStartFailure() const
{
    if (m_input && m_input->LastFailure() != StartFailure::None)
        return m_input->LastFailure();
    if (m_second && m_second->LastFailure() != StartFailure::None)
        return m_second->LastFailure();
    return m_input ? StartFailure::None : StartFailure::Device;
}

bool CWaveRecorder::SecondSourceFailed() const
{
    return m_second && m_second->LastFailure() != StartFailure::None &&
           (!m_input || m_input->LastFailure() == StartFailure::None);
}

bool CWaveRecorder::FollowInput()
{
    if (!m_input)
        return false;
    if (m_second) {
        // A lost second source only leaves its part silent; it comes back as the first does.
        m_second->Follow();
        m_second->SetLatencies(m_input->LatencySeconds(), m_second->LatencySeconds());
        const std::size_t outages = m_second->Outages().size();
        while (m_secondLostAt.size() < outages)
            m_secondLostAt.push_back(m_input->FramesIn());
    }
    return m_input->Follow();
}

bool CWaveRecorder::Stop()
{
    if (m_stopped)
        return false;
    m_stopped = true;
    {
        // The recording ends in the file it writes now.
        std::lock_guard<std::mutex> lock(m_piecesMutex);
        m_noMoreSplits = true;
    }
    if (!m_input) {
        // Never had an input: only the file is left to close.
        m_writer->FinishWriting();
        m_written.store(true, std::memory_order_release);
        return false;
    }
    // A recording that never started has delivered nothing (an input kept open before Record
    // may run, but still into its own ring): nothing to wait for, nothing to mix.
    const bool started = m_started.load(std::memory_order_acquire);
    const bool capturing = started && m_input->IsCapturing();
    if (capturing)
        m_droppedAtStop = Dropped();
    // The wait lets queued buffers come back; an input that never started (or one that was
    // lost) has none.
    const bool waiting = m_input->Waiting();
    m_input->StopCapturing();
    if (m_second && !started)
        m_second->Finish();
    if (capturing && !waiting)
        std::this_thread::sleep_for(m_options.stopWait);
    // The second source runs on until the mix has its last block (it is closed with the
    // recorder).
    m_input->Finish([this, started] {
        if (m_mixer && started) {
            m_mixer->AwaitSecond();
            m_mixer->Flush(MixedOut());
        }
        m_writer->FinishWriting();
        m_written.store(true, std::memory_order_release);
    });
    return capturing;
}

const std::int16_t* CWaveRecorder::LastBuffer()
{
    std::lock_guard<std::mutex> lock(m_latestMutex);
    if (!m_hasLatest)
        return nullptr;
    std::copy(m_latest.begin(), m_latest.end(), m_shown.begin());
    return m_shown.data();
}

void CWaveRecorder::WriteKept()
{
    const KeptInput* kept = m_options.kept.get();
    if (m_keptWritten || kept == nullptr || !kept->ring)
        return;
    m_keptWritten = true;
    // Sound of another format cannot be joined (and its input may still be filling the ring: it
    // is closed, and the seconds counted as left out, once this recording's own input runs).
    if (!SameFormat(kept->format, m_format))
        return;
    // With voice activation its pre-roll begins each burst instead.
    if (m_gate)
        return;
    const CPreRollRing& ring = *kept->ring;
    const std::size_t samples = ring.ChunkSamples();
    for (std::size_t i = 0; i < ring.Size(); ++i) {
        if (m_mixer && m_keptLaidOut.size() == samples) {
            // The second source has nothing of that time: its part of the mix is silent.
            m_mixer->FirstAlone(ring.At(i), samples / m_format.channels, m_keptLaidOut.data());
            TakeSamples(m_keptLaidOut.data(), samples, kNoTimeline);
        } else {
            TakeSamples(ring.At(i), samples, kNoTimeline);
        }
    }
    m_keptFrames = ring.Size() * samples / m_format.channels;
}

void CWaveRecorder::OnBuffer(WaveHeader& header)
{
    const std::size_t count = header.bytesRecorded / 2;
    if (count == 0)
        return;
    if (!m_timelineStarted) {
        // The file begins with the kept seconds, which lie just before this buffer.
        m_timelineStarted = true;
        const std::uint64_t at = header.timelineFrame;
        m_recordFrom.store(at, std::memory_order_release);
        m_timeline.Start(at >= m_keptFrames ? at - m_keptFrames : 0);
        m_timeline.Processed(at, m_framesWritten.load(std::memory_order_relaxed));
    }
    if (m_mixer) {
        CCaptureQueue::Arrival arrival;
        while (m_input->TakeArrival(arrival))
            m_mixer->Arrived(arrival.nanos, arrival.framesEnd);
        m_mixer->Add(header.data, count / m_format.channels, header.timelineFrame, MixedOut());
        return;
    }
    TakeSamples(header.data, count, header.timelineFrame);
}

CSourceMixer::Out CWaveRecorder::MixedOut()
{
    return [this](const std::int16_t* samples, std::size_t count, std::uint64_t at) { TakeSamples(samples, count, at); };
}

void CWaveRecorder::TakeSamples(const std::int16_t* samples, std::size_t count, std::uint64_t at)
{
    const std::size_t channels = m_format.channels;
    while (count > 0) {
        const std::size_t n = std::min(count, m_chunk.size() - m_chunkFill);
        std::memcpy(m_chunk.data() + m_chunkFill, samples, n * sizeof(std::int16_t));
        m_chunkFill += n;
        samples += n;
        count -= n;
        if (at != kNoTimeline)
            at += n / channels;
        if (m_chunkFill == m_chunk.size()) {
            m_chunkFill = 0;
            OnChunk(m_chunk.data(), at);
        }
    }
}

bool CWaveRecorder::SplitInto(const std::string& path)
{
    if (m_stopped)
        return false;
    return m_writer->OpenNextFile(path);
}

std::vector<CWaveRecorder::Piece> CWaveRecorder::Pieces() const
{
    std::lock_guard<std::mutex> lock(m_piecesMutex);
    return m_pieces;
}

void CWaveRecorder::SwitchIfDue()
{
    if (!m_writer->NextFilePending())
        return;
    // With voice activation a burst is not cut: the switch waits for its quiet, a minute of
    // input at most.
    const std::uint64_t minute = m_chunkFrames > 0 ? 60ull * m_format.samplesPerSec / m_chunkFrames : 0;
    if (m_gate && m_gate->IsOpen() && m_splitWaitChunks++ < minute)
        return;
    m_splitWaitChunks = 0;
    std::lock_guard<std::mutex> lock(m_piecesMutex);
    if (m_noMoreSplits || !m_writer->SwitchToNextFile())
        return;
    const std::uint64_t written = m_framesWritten.load(std::memory_order_acquire);
    m_pieceWrittenFrom.store(written, std::memory_order_release);
    m_pieceFrames.store(0, std::memory_order_release);
    m_pieces.push_back(Piece{m_writer->CurrentPath(), Seconds(written)});
}

std::string CWaveRecorder::Path() const
{
    std::lock_guard<std::mutex> lock(m_piecesMutex);
    return m_pieces.empty() ? m_path : m_pieces.back().path;
}

void CWaveRecorder::OnChunk(const std::int16_t* chunk, std::uint64_t end)
{
    SwitchIfDue();
    m_pieceFrames.fetch_add(static_cast<std::uint64_t>(m_chunkFrames), std::memory_order_acq_rel);
    {
        std::lock_guard<std::mutex> lock(m_latestMutex);
        std::memcpy(m_latest.data(), chunk, m_latest.size() * sizeof(std::int16_t));
        m_hasLatest = true;
    }
    if (m_gate)
        m_gate->Feed(chunk, m_encode);
    else
        Encode(chunk);
    if (end != kNoTimeline)
        m_timeline.Processed(end, m_framesWritten.load(std::memory_order_relaxed));
}

void CWaveRecorder::Encode(const std::int16_t* chunk)
{
    m_writer->EncodeAndWrite(chunk, static_cast<std::uint32_t>(m_chunk.size() * 2));
    m_chunksEncoded.fetch_add(1, std::memory_order_acq_rel);
    m_framesWritten.fetch_add(static_cast<std::uint64_t>(m_chunkFrames), std::memory_order_acq_rel);
}
