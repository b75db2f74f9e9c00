#include "engine/record/KeepBeforeInput.h"

#include <algorithm>

namespace {

constexpr std::size_t kBufferCount = 20;  // two seconds of tenths

WaveFormat PcmFormat(int sampleRate, int channels)
{
    WaveFormat format;
    format.formatTag = kWaveFormatPcm;
    format.channels = static_cast<std::uint16_t>(channels);
    format.samplesPerSec = static_cast<std::uint32_t>(sampleRate);
    format.bitsPerSample = 16;
    format.blockAlign = static_cast<std::uint16_t>(channels * 2);
    format.avgBytesPerSec = format.blockAlign * format.samplesPerSec;
    format.extraSize = 0;
    return format;
}

}  // namespace

CKeepBeforeInput::CKeepBeforeInput(std::function<std::unique_ptr<IAudioInputDevice>()> makeDevice, int sampleRate,
                                   int channels, int seconds)
    : m_makeDevice(std::move(makeDevice)),
      m_format(PcmFormat(sampleRate, channels)),
      m_seconds(std::clamp(seconds, 1, 30)),
      m_chunkFrames(std::max<std::uint32_t>(1, static_cast<std::uint32_t>(sampleRate) / 10)),
      m_ring(static_cast<std::size_t>(m_seconds) * 10, m_chunkFrames * static_cast<std::uint32_t>(channels))
{
    const std::size_t samples = static_cast<std::size_t>(m_chunkFrames) * m_format.channels;
    m_headers.assign(kBufferCount, WaveHeader{});
    m_blocks.resize(kBufferCount);
    for (std::size_t i = 0; i < kBufferCount; ++i) {
        m_blocks[i] = std::make_unique<std::int16_t[]>(samples);
        m_headers[i].data = m_blocks[i].get();
        m_headers[i].bufferLength = static_cast<std::uint32_t>(samples * 2);
        m_headers[i].user = this;
    }
}

CKeepBeforeInput::~CKeepBeforeInput()
{
    m_capturing = false;
    if (m_waveIn)
        m_waveIn->Close();
}

bool CKeepBeforeInput::Open()
{
    m_waveIn = std::make_unique<CWaveIn>(m_makeDevice(), m_headers.size());
    if (!m_waveIn->Open(m_format, m_chunkFrames, [this](WaveHeader& h) { OnBuffer(h); })) {
        m_failed = true;
        return false;
    }
    for (auto& header : m_headers)
        if (!m_waveIn->AddBuffer(header)) {
            m_failed = true;
            return false;
        }
    return Poll();
}

bool CKeepBeforeInput::Poll()
{
    if (m_failed || !m_waveIn)
        return false;
    if (m_capturing.load())
        return !m_waveIn->DeviceLost();
    switch (m_waveIn->DeviceProgress()) {
    case IAudioInputDevice::OpenProgress::Opening:
        return true;
    case IAudioInputDevice::OpenProgress::Failed:
        m_failed = true;
        return false;
    case IAudioInputDevice::OpenProgress::Open:
        break;
    }
    m_capturing = true;
    if (!m_waveIn->Start()) {
        m_capturing = false;
        m_failed = true;
    }
    return !m_failed;
}

void CKeepBeforeInput::OnBuffer(WaveHeader& header)
{
    header.flags = 0;
    if (header.bytesRecorded == header.bufferLength)
        m_ring.Push(header.data);
    if (m_capturing.load(std::memory_order_acquire))
        m_waveIn->AddBuffer(header);
}

std::vector<std::int16_t> CKeepBeforeInput::Take()
{
    m_capturing = false;
    if (m_waveIn)
        m_waveIn->Close();
    m_waveIn.reset();
    const std::size_t chunkSamples = static_cast<std::size_t>(m_chunkFrames) * m_format.channels;
    std::vector<std::int16_t> kept;
    kept.reserve(m_ring.Size() * chunkSamples);
    for (std::size_t i = 0; i < m_ring.Size(); ++i)
        kept.insert(kept.end(), m_ring.At(i), m_ring.At(i) + chunkSamples);
    m_ring.Clear();
    return kept;
}
