#include "app/CommandLine.h"

#include <filesystem>
#include <system_error>

#include "platform/ProgramPaths.h"

namespace {

std::string BaseName(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    return name.empty() ? std::string("dravellin-recorder") : name;
}

CCommandLine::Action CommandOf(const std::string& arg)
{
    if (arg == "--record")
        return CCommandLine::Action::Record;
    if (arg == "--stop")
        return CCommandLine::Action::Stop;
    if (arg == "--toggle")
        return CCommandLine::Action::Toggle;
    if (arg == "--status")
        return CCommandLine::Action::Status;
    if (arg == "--list-sources")
        return CCommandLine::Action::ListSources;
    return CCommandLine::Action::Run;
}

}  // namespace

CCommandLine::CCommandLine(const std::string& programName, const std::vector<std::string>& args)
    : m_program(BaseName(programName))
{
    bool help = false;
    bool version = false;
    Action command = Action::Run;
    std::string commandName;
    bool optionsEnded = false;
    std::size_t files = 0;
    for (const std::string& arg : args) {
        if (!optionsEnded && arg == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && arg == "--help") {
            help = true;
        } else if (!optionsEnded && arg == "--version") {
            version = true;
        } else if (!optionsEnded && CommandOf(arg) != Action::Run) {
            if (command != Action::Run && m_error.empty())
                Fail("only one command can be given, got '" + commandName + "' and '" + arg + "'");
            command = CommandOf(arg);
            commandName = arg;
        } else if (!optionsEnded && arg.size() > 1 && arg[0] == '-') {
            // The first wrong option is the one reported.
            if (m_error.empty())
                Fail("unrecognised option '" + arg + "'");
        } else if (arg.empty()) {
            if (m_error.empty())
                Fail("empty file name");
        } else {
            if (++files == 2 && m_error.empty())
                Fail("only one file can be opened, got '" + m_file + "' and '" + arg + "'");
            if (files == 1)
                m_file = arg;
        }
    }
    if (m_error.empty() && command != Action::Run && !m_file.empty())
        Fail("'" + commandName + "' takes no file name");
    if (!m_error.empty())
        m_action = Action::Error;
    else if (help)
        m_action = Action::Help;
    else if (version)
        m_action = Action::Version;
    else
        m_action = command;
}

bool CCommandLine::IsCommand() const
{
    return m_action == Action::Record || m_action == Action::Stop || m_action == Action::Toggle ||
           m_action == Action::Status;
}

CCommandLine CCommandLine::FromMain(int argc, char** argv)
{
    return CCommandLine(argc > 0 && argv[0] ? argv[0] : "", platform::Utf8Arguments(argc, argv));
}

void CCommandLine::Fail(const std::string& what)
{
    m_error = m_program + ": " + what + "\n" + UsageText();
}

std::string CCommandLine::FullFilePath() const
{
    if (m_file.empty())
        return {};
    std::error_code ec;
    const std::filesystem::path full = std::filesystem::absolute(platform::PathFromUtf8(m_file), ec);
    if (ec)
        return m_file;
    // "./a.mp3" and "dir/../a.mp3" are shown and remembered the way a file dialog would name them.
    return platform::Utf8FromPath(full.lexically_normal());
}

std::string CCommandLine::UsageText() const
{
    return "Usage: " + m_program + " [FILE]\n"
           "       " + m_program + " --record | --stop | --toggle | --status\n"
           "       " + m_program + " --list-sources\n"
           "       " + m_program + " --help | --version\n";
}

std::string CCommandLine::HelpText() const
{
    return UsageText() +
           "Record sound into MP3 files and play them back.\n"
           "\n"
           "With FILE, the program opens it as its current file, as if it had been chosen in\n"
           "the open dialog, instead of carrying out the start-up action of its settings.\n"
           "When the program already runs for this user, FILE is opened there, and without\n"
           "FILE its window comes to the front.\n"
           "\n"
           "Commands to the running program (carried out as its keys would be):\n"
           "      --record    start recording (starts the program first when none runs)\n"
           "      --stop      stop recording or playing\n"
           "      --toggle    record when stopped, stop when recording; while playing, stop\n"
           "                  and record (starts the program first when none runs)\n"
           "      --status    print 'stopped', 'recording ELAPSED FILE', 'playing POSITION\n"
           "                  FILE' or 'waiting FILE'\n"
           "  Exit status: 0 done, 1 the program could not (the reason on standard error),\n"
           "  2 no answer within 5 seconds, 3 not running (--stop, --status), 64 usage.\n"
           "\n"
           "      --list-sources\n"
           "                  print the sound sources the settings offer, one a line: the\n"
           "                  value stored as [Record] Source= or SecondSource=, a tab and\n"
           "                  the name shown; the first line, with an empty value, is the\n"
           "                  default input. Exit status 1 when no sound server answers or\n"
           "                  it has no sources (the reason on standard error).\n"
           "\n"
           "      --help      show this help and exit\n"
           "      --version   show the version and exit\n"
           "      --          treat what follows as a file name, even if it starts with '-'\n"
           "\n"
           "Settings: ${XDG_CONFIG_HOME:-~/.config}/Dravellin Software/dravellin-recorder.conf\n"
           "See dravellin-recorder(1) for the settings, the environment and the files used.\n";
}

std::string CCommandLine::VersionText() { return "Dravellin Recorder 1.0 beta\n"; }
