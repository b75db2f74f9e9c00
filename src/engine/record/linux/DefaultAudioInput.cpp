#include "engine/record/linux/DefaultAudioInput.h"

#include "engine/record/linux/SdlAudioInput.h"
#include "platform/pulse/PulseCapture.h"
#include "platform/SteadyClock.h"

using platform::ServerStreamOpening;
using platform::SteadyClock;

CDefaultAudioInput::CDefaultAudioInput(std::string source) : m_source(std::move(source)) {}

CDefaultAudioInput::~CDefaultAudioInput()
{
    Close();
}

bool CDefaultAudioInput::Open(const WaveFormat& format, std::uint32_t framesPerPeriod, Sink sink)
{
    Close();
    m_formatRefused = false;
    m_sourceMissing = false;
    m_sdl.reset();
    m_capture.reset();
    if (format.bitsPerSample != 16 || format.channels < 1 || format.channels > 2 || format.samplesPerSec == 0) {
        m_formatRefused = true;
        return false;
    }
    m_format = format;
    m_framesPerPeriod = framesPerPeriod;
    m_sink = std::move(sink);
    m_phase = Phase::Opening;
    return Follow(m_opening.Start([this] { return BeginStream(); })) != OpenProgress::Failed;
}

bool CDefaultAudioInput::OpenSdl()
{
    m_sdl = std::make_unique<CSdlAudioInput>();
    if (!m_sdl->Open(m_format, m_framesPerPeriod, m_sink)) {
        m_formatRefused = m_sdl->FormatRefused();
        m_phase = Phase::Failed;
        return false;
    }
    m_phase = Phase::Open;
    return true;
}

platform::PulseStream* CDefaultAudioInput::BeginStream()
{
    m_capture = std::make_unique<platform::PulseCapture>();
    m_clock = std::make_unique<CInputClock>(static_cast<double>(m_format.samplesPerSec) * m_format.channels * 2.0);
    CInputClock* clock = m_clock.get();
    Sink& sink = m_sink;
    const bool begun = m_capture->Begin(m_format.samplesPerSec, m_format.channels, m_source,
                                        [clock, &sink](const std::uint8_t* data, std::size_t bytes) {
                                            clock->Delivered(SteadyClock::Now(), bytes);
                                            sink(data, bytes);
                                        },
                                        m_timing, m_timingWanted);
    return begun ? &m_capture->Core() : nullptr;
}

IAudioInputDevice::OpenProgress CDefaultAudioInput::Follow(ServerStreamOpening::Step step)
{
    switch (step) {
    case ServerStreamOpening::Step::Opening:
        return OpenProgress::Opening;
    case ServerStreamOpening::Step::Open:
        m_phase = Phase::Open;
        return OpenProgress::Open;
    case ServerStreamOpening::Step::NoServer:
        // No server: as without one, unless only the server's stream will do.
        if (!m_serverOnly && OpenSdl())
            return OpenProgress::Open;
        break;
    case ServerStreamOpening::Step::SourceMissing:
        m_sourceMissing = true;
        break;
    case ServerStreamOpening::Step::Failed:
    case ServerStreamOpening::Step::Idle:
        break;
    }
    m_phase = Phase::Failed;
    return OpenProgress::Failed;
}

IAudioInputDevice::OpenProgress CDefaultAudioInput::Progress()
{
    switch (m_phase) {
    case Phase::Open:
        return OpenProgress::Open;
    case Phase::Opening:
        return Follow(m_opening.Poll());
    case Phase::Closed:
    case Phase::Failed:
        break;
    }
    return OpenProgress::Failed;
}

bool CDefaultAudioInput::Start()
{
    if (m_sdl)
        return m_started = m_sdl->Start();
    if (m_phase != Phase::Open || !m_capture)
        return false;
    m_clock->Start(SteadyClock::Now());
    m_started = m_capture->Start();
    return m_started;
}

void CDefaultAudioInput::Close()
{
    if (m_sdl)
        m_sdl->Close();
    if (m_capture)
        m_capture->Close();  // keeps what it counted for the report
    m_opening.Reset();
    m_started = false;
    if (m_phase != Phase::Failed)
        m_phase = Phase::Closed;
}

bool CDefaultAudioInput::Lost() const
{
    if (m_sdl)
        return m_sdl->Lost();
    if (!m_started || !m_capture)
        return false;
    return m_capture->Lost() || m_clock->Stalled(SteadyClock::Now(), kStallLimit);
}

std::vector<InputDrop> CDefaultAudioInput::Drops() const
{
    std::vector<InputDrop> drops;
    if (m_capture)
        for (const auto& drop : m_capture->Drops())
            drops.push_back(InputDrop{drop.atFrame, drop.frames});
    return drops;
}

std::vector<InputSwitch> CDefaultAudioInput::Switches() const
{
    std::vector<InputSwitch> switches;
    if (m_capture)
        for (const auto& s : m_capture->Switches())
            switches.push_back(InputSwitch{s.source, s.frames});
    return switches;
}

std::string CDefaultAudioInput::SourceName() const
{
    if (!m_capture)
        return std::string();
    const auto switches = m_capture->Switches();
    return switches.empty() ? m_capture->OpenedOn() : switches.back().source;
}

bool CDefaultAudioInput::Latency(std::chrono::microseconds& latency) const
{
    return m_capture && m_phase == Phase::Open && m_capture->Latency(latency);
}

double CDefaultAudioInput::LatencySeconds() const
{
    std::chrono::microseconds latency{0};
    return Latency(latency) ? std::chrono::duration<double>(latency).count() : 0.0;
}
