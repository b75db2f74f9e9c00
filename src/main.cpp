// The program's entry point: answers --help, --version, --list-sources and wrong options without a display,
// hands the command line to the program already running for this user when there is one,
// chooses the display backend, then the framework starts CRecorderApp.
#include <cstdio>
#include <optional>

#include "app/CommandLine.h"
#include "app/InstanceHandoff.h"
#include "app/RecorderApp.h"
#include "app/SourceListing.h"
#include "platform/CommandBus.h"
#include "platform/DisplayBackend.h"
#include "platform/ParentConsole.h"

wxIMPLEMENT_WX_THEME_SUPPORT;
wxIMPLEMENT_APP_NO_MAIN(CRecorderApp);

int main(int argc, char** argv)
{
    // What the command line prints reaches the caller's console even from a window program.
    platform::UseParentConsole();
    const CCommandLine commandLine = CCommandLine::FromMain(argc, argv);
    switch (commandLine.GetAction()) {
    case CCommandLine::Action::Help:
        std::fputs(commandLine.HelpText().c_str(), stdout);
        return 0;
    case CCommandLine::Action::Version:
        std::fputs(CCommandLine::VersionText().c_str(), stdout);
        return 0;
    case CCommandLine::Action::Error:
        std::fputs(commandLine.ErrorText().c_str(), stderr);
        return CCommandLine::kUsageError;
    case CCommandLine::Action::ListSources:
        return CSourceListing::Run();
    case CCommandLine::Action::Run:
    case CCommandLine::Action::Record:
    case CCommandLine::Action::Stop:
    case CCommandLine::Action::Toggle:
    case CCommandLine::Action::Status:
        break;
    }
    CInstanceHandoff handoff(platform::CommandBus::Connect());
    if (const std::optional<int> status = handoff.Decide(commandLine))
        return *status;
    platform::LeaveParentConsole();
    CRecorderApp::SetCommandBus(handoff.TakeBus());
    CRecorderApp::SetRecordAtStart(commandLine.GetAction() == CCommandLine::Action::Record ||
                                   commandLine.GetAction() == CCommandLine::Action::Toggle);
    CRecorderApp::SetStartupFile(commandLine.FullFilePath());
    platform::PreferX11Backend();
    return wxEntry(argc, argv);
}
