// Entry point of the GUI test executables: a real wxWidgets application object on the (virtual)
// display, a settings store in a temporary folder, and the tests run from inside the event loop's
// first idle moment so windows, timers and modal dialogs behave as in the program.

#include <gtest/gtest.h>

#include <wx/app.h>
#include <wx/init.h>
#include <wx/log.h>

#include "platform/PrivateFonts.h"
#include "platform/Profile.h"
#include "platform/ProgramPaths.h"
#include "support/TempDir.h"

namespace {

// wxWidgets assertions, including the modal-dialog expectations of wx/testing.h, fail the test
// that is running instead of stopping everything with a dialog.
void FailOnAssert(const wxString& file, int line, const wxString& func, const wxString& cond,
                  const wxString& msg)
{
    ADD_FAILURE_AT(file.utf8_string().c_str(), line)
        << "wxWidgets assertion in " << func.utf8_string() << ": " << cond.utf8_string() << " "
        << msg.utf8_string();
}

class TestApp : public wxApp {
public:
    bool OnInit() override
    {
        SetAppName("dravellin-recorder");
        // Debug messages from wxWidgets go to stderr instead of a modal log window.
        delete wxLog::SetActiveTarget(new wxLogStderr);
        wxSetAssertHandler(FailOnAssert);
        platform::RegisterPrivateFonts();
        CallAfter([this] {
            m_result = RUN_ALL_TESTS();
            ExitMainLoop();
        });
        return true;
    }
    int OnRun() override
    {
        wxApp::OnRun();
        return m_result;
    }

private:
    int m_result = 1;
};

}  // namespace

wxIMPLEMENT_APP_NO_MAIN(TestApp);

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    testing_support::TempDir config;
    testing_support::ScopedEnv xdg("XDG_CONFIG_HOME", config.Path());
    platform::SetProgramName("dravellin-recorder");
    platform::SetRegistryKey("Dravellin Software");
    return wxEntry(argc, argv);
}
