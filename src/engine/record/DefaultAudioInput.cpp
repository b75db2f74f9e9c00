#include "engine/record/DefaultAudioInput.h"

#include "engine/record/SdlAudioInput.h"
#include "platform/PulseCapture.h"
#include "platform/SoundServer.h"

using platform::SoundServer;

CDefaultAudioInput::CDefaultAudioInput(std::string source) : m_source(std::move(source)) {}

CDefaultAudioInput::~CDefaultAudioInput()
{
    Close();
}

std::int64_t CDefaultAudioInput::Now()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
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
    m_openedAt = Now();
    if (!SoundServer::Wanted())
        return m_serverOnly ? false : OpenSdl();
    switch (SoundServer::Connect()) {
    case SoundServer::State::Failed:
        if (m_serverOnly) {
            m_phase = Phase::Failed;
            return false;
        }
        return OpenSdl();  // no server: as without one
    case SoundServer::State::NotAnswering:
        m_phase = Phase::Failed;
        return false;
    default:
        m_phase = Phase::Connecting;
        return true;
    }
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

bool CDefaultAudioInput::BeginStream()
{
    m_capture = std::make_unique<platform::PulseCapture>();
    m_clock = std::make_unique<CInputClock>(static_cast<double>(m_format.samplesPerSec) * m_format.channels * 2.0);
    CInputClock* clock = m_clock.get();
    Sink& sink = m_sink;
    const bool begun = m_capture->Begin(m_format.samplesPerSec, m_format.channels, m_source,
                                        [clock, &sink](const std::uint8_t* data, std::size_t bytes) {
                                            clock->Delivered(Now(), bytes);
                                            sink(data, bytes);
                                        });
    m_phase = begun ? Phase::Stream : Phase::Failed;
    return begun;
}

IAudioInputDevice::OpenProgress CDefaultAudioInput::Fail()
{
    if (m_capture)
        m_capture->Close();
    m_phase = Phase::Failed;
    return OpenProgress::Failed;
}

IAudioInputDevice::OpenProgress CDefaultAudioInput::Progress()
{
    const bool late = std::chrono::nanoseconds(Now() - m_openedAt) >= kOpenLimit;
    switch (m_phase) {
    case Phase::Open:
        return OpenProgress::Open;
    case Phase::Closed:
    case Phase::Failed:
        return OpenProgress::Failed;
    case Phase::Connecting:
        switch (SoundServer::Poll()) {
        case SoundServer::State::Ready:
            if (!BeginStream())
                return Fail();
            break;
        case SoundServer::State::Failed:
            // The server refused or went away while connecting: as without one.
            if (m_serverOnly)
                return Fail();
            return OpenSdl() ? OpenProgress::Open : OpenProgress::Failed;
        case SoundServer::State::NotAnswering:
            return Fail();
        default:
            return late ? Fail() : OpenProgress::Opening;
        }
        [[fallthrough]];
    case Phase::Stream:
        switch (m_capture->Poll()) {
        case platform::PulseCapture::Progress::Open:
            m_phase = Phase::Open;
            return OpenProgress::Open;
        case platform::PulseCapture::Progress::SourceMissing:
            m_sourceMissing = true;
            return Fail();
        case platform::PulseCapture::Progress::Failed:
            return Fail();
        case platform::PulseCapture::Progress::Opening:
            return late ? Fail() : OpenProgress::Opening;
        }
    }
    return OpenProgress::Failed;
}

bool CDefaultAudioInput::Start()
{
    if (m_sdl)
        return m_started = m_sdl->Start();
    if (m_phase != Phase::Open || !m_capture)
        return false;
    m_clock->Start(Now());
    m_started = m_capture->Start();
    return m_started;
}

void CDefaultAudioInput::Close()
{
    if (m_sdl)
        m_sdl->Close();
    if (m_capture)
        m_capture->Close();  // keeps what it counted for the report
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
    return m_capture->Lost() || m_clock->Behind(Now(), kStallLimit);
}

std::vector<InputDrop> CDefaultAudioInput::Drops() const
{
    // The server does not tell how much it dropped: each overflow counts as one fragment
    // (a tenth of a second), what the server keeps ready for one delivery.
    std::vector<InputDrop> drops;
    if (m_capture)
        for (std::uint64_t i = 0; i < m_capture->Overflows(); ++i)
            drops.push_back(InputDrop{m_capture->Frames(), m_format.samplesPerSec / 10});
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
