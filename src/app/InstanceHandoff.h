#pragma once
// Before the toolkit starts: runs the program, or hands the command line over to the program
// already running for this user and ends with the answer.
//
// The running program is the one that owns the command bus's name (see platform::CommandBus).
// --status and --stop only ask it; --record and --toggle, and a start with or without a file,
// first try to own the name themselves: the one that gets it runs the program (and records for
// --record and --toggle once the start-up action is done), any other hands over. With no session
// bus every start runs the program on its own, and so does one whose bus (one per user, where the
// user's sessions share it) has its owner in another login session; commands do not reach that
// one ("not running"). Main's thread only.

#include <memory>
#include <optional>

#include "app/CommandLine.h"

namespace platform {
class CommandBus;
}

class CInstanceHandoff {
public:
    // Exit statuses of a command handed over.
    static constexpr int kDone = 0;
    static constexpr int kRefused = 1;
    static constexpr int kNoAnswer = 2;
    static constexpr int kNotRunning = 3;
    // How long a command waits for the running program's answer.
    static constexpr int kAnswerMs = 5000;

    explicit CInstanceHandoff(std::unique_ptr<platform::CommandBus> bus);
    ~CInstanceHandoff();

    // Hands the command line over when another program runs (or answers --status/--stop):
    // the exit status, after printing the answer (--status) or the reason (standard error).
    // nullopt: this process runs the program; TakeBus then gives the bus whose name it owns.
    std::optional<int> Decide(const CCommandLine& line);
    std::unique_ptr<platform::CommandBus> TakeBus();

private:
    std::unique_ptr<platform::CommandBus> m_bus;
};
