#include "app/InstanceHandoff.h"

#include <cstdio>
#include <string>

#include "controls/FormatTime.h"
#include "platform/CommandBus.h"
#include "platform/ParentConsole.h"

namespace {

using platform::CommandOutcome;

int Report(const CommandOutcome& outcome)
{
    switch (outcome.kind) {
    case CommandOutcome::Kind::Done: return CInstanceHandoff::kDone;
    case CommandOutcome::Kind::Refused:
        platform::PrintText(stderr, "dravellin-recorder: " + outcome.text + "\n");
        return CInstanceHandoff::kRefused;
    case CommandOutcome::Kind::NoAnswer:
        platform::PrintText(stderr, "dravellin-recorder: " + outcome.text + "\n");
        return CInstanceHandoff::kNoAnswer;
    case CommandOutcome::Kind::NotRunning: break;
    }
    std::fputs("dravellin-recorder: not running\n", stderr);
    return CInstanceHandoff::kNotRunning;
}

std::string StatusLine(const platform::RemoteState& state)
{
    if (state.state == "recording" || state.state == "playing")
        return state.state + " " + FormatTime(static_cast<int>(state.seconds)) + " " + state.file;
    if (state.state == "waiting")
        return state.state + " " + state.file;
    return state.state;
}

}  // namespace

CInstanceHandoff::CInstanceHandoff(std::unique_ptr<platform::CommandBus> bus) : m_bus(std::move(bus)) {}
CInstanceHandoff::~CInstanceHandoff() = default;

std::unique_ptr<platform::CommandBus> CInstanceHandoff::TakeBus() { return std::move(m_bus); }

namespace {

// A program that owns the name on this bus but runs in another login session of the same user
// (a bus per user, shared by the user's sessions): it is not ours to command.
bool OtherSession(const CommandOutcome& query)
{
    const std::string own = platform::CommandBus::OwnSession();
    return query.kind == CommandOutcome::Kind::Done && !own.empty() && !query.state.session.empty() &&
           query.state.session != own;
}

}  // namespace

std::optional<int> CInstanceHandoff::Decide(const CCommandLine& line)
{
    using Action = CCommandLine::Action;
    const Action action = line.GetAction();
    if (action == Action::Status || action == Action::Stop) {
        if (!m_bus)
            return Report({});
        const CommandOutcome outcome = m_bus->Query(kAnswerMs);
        if (OtherSession(outcome))
            return Report({});
        if (action == Action::Stop)
            return outcome.kind == CommandOutcome::Kind::Done
                       ? Report(m_bus->Send(platform::RemoteCommand::Stop, {}, kAnswerMs))
                       : Report(outcome);
        if (outcome.kind == CommandOutcome::Kind::Done)
            platform::PrintText(stdout, StatusLine(outcome.state) + "\n");  // a file's name in any script
        return Report(outcome);
    }
    if (!m_bus)
        return std::nullopt;
    platform::RemoteCommand command = platform::RemoteCommand::Activate;
    if (action == Action::Record)
        command = platform::RemoteCommand::Record;
    else if (action == Action::Toggle)
        command = platform::RemoteCommand::Toggle;
    else if (!line.File().empty())
        command = platform::RemoteCommand::Open;
    // The owner may end between the claim and the call: then the name is free again.
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (m_bus->Claim())
            return std::nullopt;
        if (OtherSession(m_bus->Query(kAnswerMs)))
            break;
        const CommandOutcome outcome = m_bus->Send(command, line.FullFilePath(), kAnswerMs);
        if (outcome.kind != CommandOutcome::Kind::NotRunning)
            return Report(outcome);
    }
    // The bus lets no one own the name, or its owner is in another session: run on our own.
    m_bus.reset();
    return std::nullopt;
}
