#include "engine/record/WaveRecorder.h"

#include <algorithm>
#include <cstring>
#include <thread>

#include "engine/record/AudioInputFactory.h"

int CWaveRecorder::BufferCountFor(std::uint32_t chunkBytes, std::uint32_t bytesPerSecond)
{
    if (chunkBytes == 0)
        return kMinBufferCount;
    const std::uint64_t queueBytes = static_cast<std::uint64_t>(bytesPerSecond) * kQueueMilliseconds / 1000;
    const std::uint64_t count = (queueBytes + chunkBytes - 1) / chunkBytes;
    return static_cast<int>(std::max<std::uint64_t>(count, kMinBufferCount));
}

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
    if (m_capturing.load())
        Stop();
    // Also after a Start that failed once the device was open: nothing below may be released
    // while the device still holds a buffer.
    if (m_waveIn)
        m_waveIn->Close();
    m_writer->CloseFile();
    m_writer->CloseStream();
    for (auto& header : m_headers)
        header.data = nullptr;
    for (auto& block : m_blocks)
        block.reset();
    m_writer.reset();
}

bool CWaveRecorder::Prepare(const TrackInfo& track)
{
    if (!OpenFile(track.path))
        return false;
    if (!SeekToEnd())
        return false;
    return SetFormat(track.bitrate, track.sampleRate, track.bitsPerSample, track.channels - 1);
}

bool CWaveRecorder::SetFormat(std::int32_t bitrate, std::int32_t sampleRate,
                              std::int32_t bitsPerSample, std::int32_t stereo)
{
    if (!m_headers.empty())
        return false;  // the buffers are allocated once
    m_format.formatTag = kWaveFormatPcm;
    m_format.channels = stereo ? 2 : 1;
    m_format.samplesPerSec = static_cast<std::uint32_t>(sampleRate);
    m_format.blockAlign = static_cast<std::uint16_t>(m_format.channels * bitsPerSample / 8);
    m_format.avgBytesPerSec = m_format.blockAlign * m_format.samplesPerSec;
    m_format.bitsPerSample = static_cast<std::uint16_t>(bitsPerSample);
    m_format.extraSize = 0;

    m_writer->Configure(bitrate / 1000, sampleRate, bitsPerSample, stereo);
    if (!m_writer->OpenStream())
        return false;
    const std::uint32_t chunk = m_writer->ChunkBytes();
    m_sampleCount = static_cast<int>(chunk / 2);
    if (chunk == 0 || bitsPerSample != 16)
        return false;
    const int count = BufferCountFor(chunk, m_format.avgBytesPerSec);
    m_headers.assign(static_cast<std::size_t>(count), WaveHeader{});
    m_blocks.resize(static_cast<std::size_t>(count));
    for (std::size_t i = 0; i < m_headers.size(); ++i) {
        m_blocks[i] = std::make_unique<std::int16_t[]>(chunk / 2);
        m_headers[i].data = m_blocks[i].get();
        m_headers[i].bufferLength = chunk;
        m_headers[i].user = this;
    }
    {
        std::lock_guard<std::mutex> lock(m_latestMutex);
        m_latest.assign(chunk / 2, 0);
    }
    m_shown.assign(chunk / 2, 0);
    if (m_options.voiceGate) {
        m_gate = std::make_unique<CVoiceGate>(*m_options.voiceGate, m_sampleCount, m_format.channels, sampleRate);
        m_encode = [this, chunk](const std::int16_t* samples) {
            m_writer->EncodeAndWrite(samples, chunk);
            m_chunksEncoded.fetch_add(1, std::memory_order_acq_rel);
        };
    }
    return true;
}

double CWaveRecorder::SecondsWritten() const
{
    if (m_format.avgBytesPerSec == 0)
        return 0;
    return static_cast<double>(ChunksEncoded()) * m_sampleCount * 2 / m_format.avgBytesPerSec;
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
    m_startFailure = StartFailure::Device;
    if (m_waveIn || m_headers.empty()) {
        m_capturing = false;
        return StartProgress::Failed;
    }
    // The device's period: about a tenth of a second, and never less than one buffer. Each
    // period wakes the sound library's capture thread and the encoding thread once; periods of
    // one encoder chunk (26 ms at 44.1 kHz) cost more in wake-ups than the encoding itself. The
    // level meter, drawn every 100 ms, still gets a new buffer for nearly every picture.
    const std::uint32_t chunkFrames =
        static_cast<std::uint32_t>(m_sampleCount) / std::max<std::uint16_t>(m_format.channels, 1);
    m_periodFrames = std::max(chunkFrames, m_format.samplesPerSec / 10);
    if (!OpenInput()) {
        m_capturing = false;
        if (m_waveIn && m_waveIn->IsOpen())
            return StartProgress::Failed;  // the device stays open; destruction closes it
        if (m_waveIn && m_waveIn->FormatRefused())
            m_startFailure = StartFailure::Format;
        m_waveIn.reset();
        return StartProgress::Failed;
    }
    return PollStart();
}

bool CWaveRecorder::OpenInput()
{
    auto device = m_options.makeDevice();
    if (m_serverOnly)
        device->RequireServer();
    // The queue has room for every buffer.
    m_waveIn = std::make_unique<CWaveIn>(std::move(device), m_headers.size());
    // The end of every recording, and what a lost input gave, is on disk before the device's
    // Close returns.
    m_waveIn->SetDrained([writer = m_writer.get()] { writer->SyncNow(); });
    if (!m_waveIn->Open(m_format, m_periodFrames, [this](WaveHeader& h) { WaveInCallback(h); }))
        return false;
    for (auto& header : m_headers)
        if (!QueueBuffer(header))
            return false;
    return true;
}

double CWaveRecorder::RecordedSeconds() const
{
    const double frames = static_cast<double>(ChunksEncoded()) * m_sampleCount / std::max<std::uint16_t>(m_format.channels, 1);
    return m_format.samplesPerSec > 0 ? frames / m_format.samplesPerSec : 0.0;
}

bool CWaveRecorder::FollowInput()
{
    if (!m_capturing.load(std::memory_order_acquire))
        return false;
    const SteadyTime now = std::chrono::steady_clock::now();
    switch (m_wait) {
    case Wait::None:
        // The input that came back has delivered: its outage is over.
        if (m_resumed && ChunksEncoded() > m_chunksAtResume) {
            m_resumed = false;
            m_past.outages.push_back({m_lostAtSeconds, std::chrono::duration<double>(m_resumedAt - m_lostAt).count()});
        }
        if (m_waveIn && m_waveIn->DeviceLost())
            LoseInput(now);
        break;
    case Wait::Closed:
        if (now >= m_nextTry)
            ReopenInput(now);
        break;
    case Wait::Opening:
        PollReopen(now);
        break;
    }
    return m_wait != Wait::None;
}

void CWaveRecorder::LoseInput(SteadyTime now)
{
    // Only the server's own stream is opened again for an input that came through the server:
    // another device would be another input.
    m_serverOnly = m_waveIn->ThroughServer();
    // Joins the delivery thread: everything captured is encoded, written and synced. A buffer
    // only partly filled (less than one encoder chunk) is not encoded.
    m_waveIn->Close();
    AddInputCounts(m_past);
    m_waveIn.reset();
    // Lost again before it delivered anything (a source that opens but stays silent): still
    // the same outage.
    if (!m_resumed) {
        m_lostAt = now;
        m_lostAtSeconds = RecordedSeconds();
    }
    m_resumed = false;
    m_wait = Wait::Closed;
    m_nextTry = now + kRetryInterval;
}

void CWaveRecorder::RetryLater(SteadyTime now)
{
    if (m_waveIn)
        m_waveIn->Close();  // never started: nothing was captured
    m_waveIn.reset();
    m_wait = Wait::Closed;
    m_nextTry = now + kRetryInterval;
}

void CWaveRecorder::ReopenInput(SteadyTime now)
{
    if (!OpenInput()) {
        RetryLater(now);
        return;
    }
    m_wait = Wait::Opening;
    PollReopen(now);
}

void CWaveRecorder::PollReopen(SteadyTime now)
{
    switch (m_waveIn->DeviceProgress()) {
    case IAudioInputDevice::OpenProgress::Opening:
        return;
    case IAudioInputDevice::OpenProgress::Failed:
        RetryLater(now);
        return;
    case IAudioInputDevice::OpenProgress::Open:
        break;
    }
    if (!m_waveIn->Start()) {
        RetryLater(now);
        return;
    }
    // The outage counts until now, and ends once the input has delivered.
    m_resumed = true;
    m_resumedAt = now;
    m_chunksAtResume = ChunksEncoded();
    m_inputStartSeconds = RecordedSeconds();
    m_wait = Wait::None;
}

void CWaveRecorder::AddInputCounts(DroppedInput& dropped) const
{
    if (!m_waveIn)
        return;
    dropped.gaps += m_waveIn->Gaps();
    if (m_format.avgBytesPerSec > 0)
        dropped.seconds += static_cast<double>(m_waveIn->DroppedBytes()) / m_format.avgBytesPerSec;
    for (const InputSwitch& change : m_waveIn->Switches()) {
        const double seconds = m_format.samplesPerSec
                                   ? static_cast<double>(change.atFrame) / m_format.samplesPerSec
                                   : 0.0;
        dropped.switches.push_back(RecordedSwitch{change.source, seconds + m_inputStartSeconds});
    }
}

CWaveRecorder::StartProgress CWaveRecorder::PollStart()
{
    if (!m_waveIn || !m_waveIn->IsOpen() || m_capturing.load())
        return m_capturing.load() ? StartProgress::Started : StartProgress::Failed;
    switch (m_waveIn->DeviceProgress()) {
    case IAudioInputDevice::OpenProgress::Opening:
        return StartProgress::Pending;
    case IAudioInputDevice::OpenProgress::Failed:
        if (m_waveIn->SourceMissing())
            m_startFailure = StartFailure::SourceMissing;
        m_capturing = false;
        return StartProgress::Failed;  // the device stays open; destruction closes it
    case IAudioInputDevice::OpenProgress::Open:
        break;
    }
    // Set before the device starts, so the first buffers that come back are queued again.
    m_capturing = true;
    if (!m_waveIn->Start())
        m_capturing = false;
    if (m_capturing.load())
        m_startFailure = StartFailure::None;
    return m_capturing.load() ? StartProgress::Started : StartProgress::Failed;
}

CWaveRecorder::DroppedInput CWaveRecorder::Dropped() const
{
    if (m_droppedAtStop)
        return *m_droppedAtStop;
    DroppedInput dropped = m_past;
    AddInputCounts(dropped);
    // An outage still going on counts until now; one whose input has delivered since it was
    // last looked at, until the input was open again.
    const SteadyTime now = std::chrono::steady_clock::now();
    if (m_wait != Wait::None || m_resumed) {
        const SteadyTime back = m_wait == Wait::None && ChunksEncoded() > m_chunksAtResume ? m_resumedAt : now;
        dropped.outages.push_back({m_lostAtSeconds, std::chrono::duration<double>(back - m_lostAt).count()});
    }
    return dropped;
}

bool CWaveRecorder::Stop()
{
    const bool capturing = m_capturing.load();
    if (capturing && !m_droppedAtStop)
        m_droppedAtStop = Dropped();
    m_capturing = false;
    // The wait lets queued buffers come back; a device that never started (or an input that
    // was lost) has none.
    const bool waiting = m_wait != Wait::None;
    m_wait = Wait::None;
    if (capturing && !waiting)
        std::this_thread::sleep_for(m_options.stopWait);
    if (!m_waveIn)
        return capturing;  // stopped while waiting for a lost input: already closed
    return m_waveIn->Close();
}

const std::int16_t* CWaveRecorder::LastBuffer()
{
    std::lock_guard<std::mutex> lock(m_latestMutex);
    if (!m_hasLatest)
        return nullptr;
    std::copy(m_latest.begin(), m_latest.end(), m_shown.begin());
    return m_shown.data();
}

void CWaveRecorder::WaveInCallback(WaveHeader& header)
{
    auto* recorder = static_cast<CWaveRecorder*>(header.user);
    recorder->TakeBuffer(header);
    if (recorder->m_capturing.load(std::memory_order_acquire))
        recorder->QueueBuffer(header);
}

bool CWaveRecorder::QueueBuffer(WaveHeader& header)
{
    if (header.flags != 0)
        return true;  // already with the device
    return m_waveIn && m_waveIn->AddBuffer(header);
}

void CWaveRecorder::TakeBuffer(WaveHeader& header)
{
    header.flags = 0;
    // A buffer handed back unfinished at close holds less than one encoder chunk: it is not
    // encoded (the encoder always takes a whole chunk) and not shown.
    if (header.bytesRecorded != header.bufferLength)
        return;
    {
        std::lock_guard<std::mutex> lock(m_latestMutex);
        std::memcpy(m_latest.data(), header.data, header.bufferLength);
        m_hasLatest = true;
    }
    if (m_options.before && !m_beforeWritten) {
        m_beforeWritten = true;
        const std::vector<std::int16_t>& kept = *m_options.before;
        const std::size_t chunk = static_cast<std::size_t>(m_sampleCount);
        for (std::size_t at = chunk > 0 ? kept.size() % chunk : kept.size(); at + chunk <= kept.size(); at += chunk) {
            m_writer->EncodeAndWrite(kept.data() + at, static_cast<std::uint32_t>(chunk * 2));
            m_chunksEncoded.fetch_add(1, std::memory_order_acq_rel);
        }
    }
    if (m_gate) {
        m_gate->Feed(header.data, m_encode);
        return;
    }
    m_writer->EncodeAndWrite(header.data, header.bytesRecorded);
    m_chunksEncoded.fetch_add(1, std::memory_order_acq_rel);
}
