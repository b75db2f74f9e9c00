#pragma once
// The program's command line: `dravellin-recorder [--help | --version | --record | --stop |
// --toggle | --status | --list-sources] [FILE]`.
//
// Parsed in main before the toolkit starts, so --help, --version, a wrong option and the commands
// for a running program are answered without a display. Pure logic over argv; no output of its
// own.

#include <string>
#include <vector>

class CCommandLine {
public:
    enum class Action {
        Run,      // start the program, opening File() when it is not empty
        Help,     // print HelpText() to standard output, exit 0
        Version,  // print VersionText() to standard output, exit 0
        Error,    // print ErrorText() to standard error, exit kUsageError
        // Commands for the program running for this user (started first for Record and Toggle).
        Record,
        Stop,
        Toggle,
        Status,
        // Print the sources the settings offer (CSourceListing) and exit; no window.
        ListSources,
    };

    // Exit status for a command line the program does not understand (EX_USAGE).
    static constexpr int kUsageError = 64;

    // True for the four commands to a running program.
    bool IsCommand() const;

    // args are argv[1..]; programName is argv[0] (used in the texts).
    CCommandLine(const std::string& programName, const std::vector<std::string>& args);
    static CCommandLine FromMain(int argc, char** argv);

    Action GetAction() const { return m_action; }

    // The file to open, as given (not yet made absolute); empty when none was named.
    const std::string& File() const { return m_file; }

    // File() as a full path: relative names are taken from the current folder. Empty when no
    // file was named.
    std::string FullFilePath() const;

    // Texts, each ending in a line break. ErrorText is the fault's line followed by
    // the usage lines.
    std::string HelpText() const;
    // The usage lines alone (also at the end of ErrorText).
    std::string UsageText() const;
    static std::string VersionText();
    const std::string& ErrorText() const { return m_error; }

private:
    void Fail(const std::string& what);

    std::string m_program;
    Action m_action = Action::Run;
    std::string m_file;
    std::string m_error;
};
