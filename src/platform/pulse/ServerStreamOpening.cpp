#include "platform/pulse/ServerStreamOpening.h"

#include "platform/pulse/PulseStream.h"
#include "platform/SoundServer.h"
#include "platform/SteadyClock.h"

namespace platform {

ServerStreamOpening::Step ServerStreamOpening::Start(Begin begin)
{
    Reset();
    m_begin = std::move(begin);
    m_startedAt = SteadyClock::Now();
    if (!SoundServer::Wanted())
        return Step::NoServer;
    switch (SoundServer::Connect()) {
    case SoundServer::State::Failed:
        return Step::NoServer;
    case SoundServer::State::NotAnswering:
        return Step::Failed;
    case SoundServer::State::Ready:
        return BeginStream();
    default:
        m_phase = Phase::Connecting;
        return Step::Opening;
    }
}

ServerStreamOpening::Step ServerStreamOpening::BeginStream()
{
    m_stream = m_begin();
    if (m_stream == nullptr)
        return Fail(Step::Failed);
    m_phase = Phase::Stream;
    return Step::Opening;
}

ServerStreamOpening::Step ServerStreamOpening::Fail(Step step)
{
    if (m_stream != nullptr)
        m_stream->Close();
    Reset();
    return step;
}

void ServerStreamOpening::Reset()
{
    m_phase = Phase::Idle;
    m_stream = nullptr;
}

ServerStreamOpening::Step ServerStreamOpening::Poll()
{
    const bool late = SteadyClock::Now() - m_startedAt >= SteadyClock::Nanos(kOpenLimit);
    switch (m_phase) {
    case Phase::Idle:
        return Step::Idle;
    case Phase::Connecting:
        switch (SoundServer::Poll()) {
        case SoundServer::State::Ready:
            if (BeginStream() != Step::Opening)
                return Step::Failed;
            break;
        case SoundServer::State::Failed:
            // The server refused or went away while connecting: as without one.
            return Fail(Step::NoServer);
        case SoundServer::State::NotAnswering:
            return Fail(Step::Failed);
        default:
            return late ? Fail(Step::Failed) : Step::Opening;
        }
        [[fallthrough]];
    case Phase::Stream:
        switch (m_stream->Poll()) {
        case PulseStream::Progress::Ready:
            Reset();
            return Step::Open;
        case PulseStream::Progress::SourceMissing:
            return Fail(Step::SourceMissing);
        case PulseStream::Progress::Failed:
            return Fail(Step::Failed);
        case PulseStream::Progress::Opening:
            return late ? Fail(Step::Failed) : Step::Opening;
        }
    }
    return Step::Failed;
}

}  // namespace platform
