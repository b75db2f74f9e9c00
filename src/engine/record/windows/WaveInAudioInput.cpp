#include "engine/record/windows/WaveInAudioInput.h"

#include "platform/SteadyClock.h"

using platform::SteadyClock;

bool CWaveInAudioInput::Open(const WaveFormat& format, std::uint32_t framesPerPeriod, Sink sink)
{
    Close();
    m_formatRefused = false;
    if (format.bitsPerSample != 16 || format.channels < 1 || format.channels > 2 || format.samplesPerSec == 0) {
        m_formatRefused = true;
        return false;
    }
    m_sink = std::move(sink);
    m_clock = std::make_unique<CInputClock>(static_cast<double>(format.samplesPerSec) * format.channels * 2.0);
    CInputClock* clock = m_clock.get();
    Sink* target = &m_sink;
    const auto result = m_device.Open(format.samplesPerSec, format.channels, framesPerPeriod,
                                      [clock, target](const std::uint8_t* data, std::size_t bytes) {
                                          clock->Delivered(SteadyClock::Now(), bytes);
                                          (*target)(data, bytes);
                                      });
    m_formatRefused = result == platform::WaveInDevice::OpenResult::FormatRefused;
    m_open = result == platform::WaveInDevice::OpenResult::Opened;
    return m_open;
}

bool CWaveInAudioInput::Start()
{
    if (!m_open)
        return false;
    m_clock->Start(SteadyClock::Now());
    m_started = m_device.Start();
    return m_started;
}

void CWaveInAudioInput::Close()
{
    m_device.Close();  // keeps the drops it counted for the report
    m_open = false;
    m_started = false;
}

bool CWaveInAudioInput::Lost() const
{
    // Behind alone is not lost: a program that was stopped for a while is behind until the
    // buffers filled meanwhile are handed over (see CInputClock::Stalled).
    return m_started && (m_device.Failed() || m_clock->Stalled(SteadyClock::Now(), kStallLimit));
}

std::vector<InputDrop> CWaveInAudioInput::Drops() const
{
    std::vector<InputDrop> drops;
    for (const auto& drop : m_device.Drops())
        drops.push_back(InputDrop{drop.atFrame, drop.frames});
    return drops;
}
