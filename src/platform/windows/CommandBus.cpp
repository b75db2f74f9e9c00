// Windows twin of platform/CommandBus.cpp: Windows has no session bus, so there is no running
// program to reach: Connect gives none, and every program runs on its own.
#include "platform/CommandBus.h"

namespace platform {

struct CommandBus::Impl {};

CommandBus::Call::Call(void* invocation) : m_invocation(invocation) {}
CommandBus::Call::~Call() = default;
void CommandBus::Call::Done() { m_invocation = nullptr; }
void CommandBus::Call::Refuse(const std::string&, bool) { m_invocation = nullptr; }

std::string CommandBus::OwnSession() { return {}; }

CommandBus::CommandBus(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}
CommandBus::~CommandBus() = default;
std::unique_ptr<CommandBus> CommandBus::Connect() { return nullptr; }
std::unique_ptr<CommandBus> CommandBus::ConnectTo(const std::string&) { return nullptr; }
bool CommandBus::Claim() { return true; }
void CommandBus::Serve(Handler, StateSource) {}
void CommandBus::StateChanged() {}
void CommandBus::Withdraw() {}

CommandOutcome CommandBus::Send(RemoteCommand, const std::string&, int)
{
    return {CommandOutcome::Kind::NotRunning, "not running", {}};
}

CommandOutcome CommandBus::Query(int) { return {CommandOutcome::Kind::NotRunning, "not running", {}}; }

}  // namespace platform
