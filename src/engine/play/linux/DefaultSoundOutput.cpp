#include "engine/play/linux/DefaultSoundOutput.h"

#include "engine/play/PlaybackStream.h"
#include "engine/play/linux/SdlSoundOutput.h"
#include "platform/pulse/PulsePlayback.h"
#include "platform/UiTrace.h"

namespace play {

DefaultSoundOutput::DefaultSoundOutput() = default;

DefaultSoundOutput::~DefaultSoundOutput() { Stop(); }

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
    m_phase = Phase::Opening;
    platform::UiTrace trace("play-open-output");
    return Follow(m_opening.Start([this] { return BeginStream(); })) != Progress::Failed;
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

platform::PulseStream* DefaultSoundOutput::BeginStream()
{
    m_pulse = std::make_unique<platform::PulsePlayback>();
    PlaybackStream* stream = m_stream;
    const bool begun = m_pulse->Begin(static_cast<std::uint32_t>(stream->SampleRate()), stream->Channels(),
                                      [stream](std::int16_t* out, std::size_t frames, std::int64_t index) {
                                          stream->Pull(out, frames, index);
                                      });
    return begun ? &m_pulse->Core() : nullptr;
}

SoundOutput::Progress DefaultSoundOutput::Follow(platform::ServerStreamOpening::Step step)
{
    switch (step) {
    case platform::ServerStreamOpening::Step::Opening:
        return Progress::Opening;
    case platform::ServerStreamOpening::Step::Open:
        m_phase = Phase::Playing;
        return Progress::Playing;
    case platform::ServerStreamOpening::Step::NoServer:
        // No server: as without one.
        if (PlaySdl())
            return Progress::Playing;
        break;
    default:
        break;
    }
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
    switch (m_phase) {
    case Phase::Stopped:
        return Progress::Failed;
    case Phase::Playing:
        return Progress::Playing;
    case Phase::Opening:
        break;
    }
    return Follow(m_opening.Poll());
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
    m_opening.Reset();
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
