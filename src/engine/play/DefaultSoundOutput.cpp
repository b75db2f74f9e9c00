#include "engine/play/DefaultSoundOutput.h"

#include "engine/play/PlaybackStream.h"
#include "engine/play/SdlSoundOutput.h"
#include "platform/PulsePlayback.h"
#include "platform/SoundServer.h"
#include "platform/UiTrace.h"

using platform::SoundServer;

namespace play {

DefaultSoundOutput::DefaultSoundOutput() = default;

DefaultSoundOutput::~DefaultSoundOutput() { Stop(); }

std::int64_t DefaultSoundOutput::Now()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

bool DefaultSoundOutput::Play(PlaybackStream& stream)
{
    if (m_sdl)
        return m_sdl->Play(stream);
    if (m_phase != Phase::Stopped) {
        if (m_stream == &stream)
            return true;
        Stop();
    }
    m_stream = &stream;
    m_playedAt = Now();
    if (!SoundServer::Wanted())
        return PlaySdl();
    platform::UiTrace trace("play-open-output");
    switch (SoundServer::Connect()) {
    case SoundServer::State::Failed:
        return PlaySdl();  // no server: as without one
    case SoundServer::State::Ready:
        return BeginStream();
    case SoundServer::State::NotAnswering:
        Fail();
        return false;
    default:
        m_phase = Phase::Connecting;
        return true;
    }
}

bool DefaultSoundOutput::PlaySdl()
{
    m_sdl = std::make_unique<SdlSoundOutput>();
    PlaybackStream* stream = m_stream;
    m_stream = nullptr;
    m_phase = Phase::Stopped;
    if (stream != nullptr && m_sdl->Play(*stream))
        return true;
    m_sdl.reset();  // the next Play tries again
    return false;
}

bool DefaultSoundOutput::BeginStream()
{
    m_pulse = std::make_unique<platform::PulsePlayback>();
    PlaybackStream* stream = m_stream;
    const bool begun = m_pulse->Begin(static_cast<std::uint32_t>(stream->SampleRate()), stream->Channels(),
                                      [stream](std::int16_t* out, std::size_t frames, std::int64_t index) {
                                          stream->Pull(out, frames, index);
                                      });
    if (!begun) {
        Fail();
        return false;
    }
    m_phase = Phase::Opening;
    return true;
}

SoundOutput::Progress DefaultSoundOutput::Fail()
{
    EndStream();
    m_stream = nullptr;
    m_phase = Phase::Stopped;
    return Progress::Failed;
}

void DefaultSoundOutput::EndStream()
{
    if (!m_pulse)
        return;
    const std::int64_t heard = m_pulse->Heard();
    m_pulse->Close();
    m_pulse.reset();
    if (m_stream != nullptr)
        m_stream->OutputStopped(heard);
}

SoundOutput::Progress DefaultSoundOutput::Poll()
{
    if (m_sdl)
        return m_sdl->Poll();
    const bool late = std::chrono::nanoseconds(Now() - m_playedAt) >= kOpenLimit;
    switch (m_phase) {
    case Phase::Stopped:
        return Progress::Failed;
    case Phase::Playing:
        return Progress::Playing;
    case Phase::Connecting:
        switch (SoundServer::Poll()) {
        case SoundServer::State::Ready:
            if (!BeginStream())
                return Progress::Failed;
            break;
        case SoundServer::State::Failed:
            // The server refused or went away while connecting: as without one.
            return PlaySdl() ? Progress::Playing : Progress::Failed;
        case SoundServer::State::NotAnswering:
            return Fail();
        default:
            return late ? Fail() : Progress::Opening;
        }
        [[fallthrough]];
    case Phase::Opening:
        switch (m_pulse->Poll()) {
        case platform::PulsePlayback::Progress::Playing:
            m_phase = Phase::Playing;
            return Progress::Playing;
        case platform::PulsePlayback::Progress::Failed:
            return Fail();
        case platform::PulsePlayback::Progress::Opening:
            return late ? Fail() : Progress::Opening;
        }
    }
    return Progress::Failed;
}

void DefaultSoundOutput::Stop()
{
    if (m_sdl) {
        m_sdl->Stop();
        return;
    }
    if (m_phase == Phase::Stopped)
        return;
    platform::UiTrace trace("play-close-output");
    EndStream();
    m_stream = nullptr;
    m_phase = Phase::Stopped;
}

bool DefaultSoundOutput::Playing() const
{
    return m_sdl ? m_sdl->Playing() : m_phase != Phase::Stopped;
}

std::int64_t DefaultSoundOutput::HeardIndex() const
{
    if (m_sdl)
        return m_sdl->HeardIndex();
    return m_pulse ? m_pulse->Heard() : -1;
}

bool DefaultSoundOutput::Lost() const
{
    if (m_sdl)
        return m_sdl->Lost();
    return m_pulse && m_phase == Phase::Playing && m_pulse->Lost();
}

}  // namespace play
