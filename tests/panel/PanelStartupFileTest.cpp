// A file named on the command line is opened by the panel's creation exactly as the open
// dialog's choice would be, instead of the start-up action.
#include <sys/stat.h>

#include <fstream>
#include <vector>

#include <wx/dir.h>
#include <wx/filedlg.h>
#include <wx/testing.h>

#include "controls/TimePanel.h"
#include "engine/play/Mp3Player.h"
#include "panel/PanelFixture.h"
#include "panel/WindowTitle.h"
#include "platform/ProfileKeys.h"
#include "res/ResourceIds.h"
#include "support/Mp3Maker.h"

using namespace platform;

namespace {

std::size_t Mp3FilesIn(const std::string& folder)
{
    wxArrayString files;
    return wxDir::GetAllFiles(wxString::FromUTF8(folder), &files, "*.mp3", wxDIR_FILES);
}

}  // namespace

class StartupFileTest : public PanelFixture {};

TEST_F(StartupFileTest, NamedFileIsLoadedAtItsStartInsteadOfTheStartUpAction)
{
    const std::string path = File("named.mp3");
    ASSERT_TRUE(testing_support::WriteToneMp3(path, 4.0, 22050, 2, 64));
    // Start-up action 1 would create a new file with the standard name in this folder.
    WriteSetting(kLoader, 1);
    WriteSetting(kLastFile, File("old.mp3"));

    OpenFrame(path);
    ExpectState(State::Stopped);
    EXPECT_EQ(Title(), "named.mp3 - Dravellin Recorder");
    EXPECT_EQ(ReadSetting(kLastFile), path);
    EXPECT_EQ(Mp3FilesIn(m_dir.Path()), 1u) << "the start-up action ran as well";
    ASSERT_NE(m_panel->Player(), nullptr);
    EXPECT_FLOAT_EQ(m_panel->Player()->GetPosition(), 0.0f);
    EXPECT_EQ(m_panel->TimePanel()->GetSeconds(), 0);
    EXPECT_TRUE(m_messages->Messages().empty());

    // Recording then appends to the named file, as after the open dialog.
    Command(res::ID_ACCEL_ENTER);
    ExpectState(State::Recording);
    Pump(1500);
    Command(res::ID_ACCEL_ENTER);
    ExpectState(State::Stopped);
    EXPECT_EQ(m_panel->TimePanel()->GetSeconds(), 4);
}

// Whatever cannot be played gets the message the open dialog's choice gets, and the program
// goes on with no file.
TEST_F(StartupFileTest, UnplayableNamesGetTheOpenDialogsMessage)
{
    const std::string folder = File("folder.mp3");
    ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
    const std::string pipe = File("pipe.mp3");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    const std::string text = File("notes.mp3");
    std::ofstream(text) << "not an MP3 file, just some words\n";
    const std::string missing = File("missing.mp3");

    for (const std::string& path : {folder, pipe, text, missing}) {
        SCOPED_TRACE(path);
        SetWindowTitleText("<No file> - Dravellin Recorder");
        m_messages->Clear();
        OpenFrame(path);
        ExpectState(State::NoFile);
        EXPECT_EQ(Title(), "<No file> - Dravellin Recorder");
        const std::vector<testing_support::CapturedMessage> fromCommandLine = m_messages->Messages();
        ASSERT_FALSE(fromCommandLine.empty());

        m_messages->Clear();
        wxTEST_DIALOG(Command(res::ID_FILE_OPEN), wxExpectModal<wxFileDialog>(path));
        ExpectState(State::NoFile);
        ASSERT_EQ(m_messages->Messages().size(), fromCommandLine.size());
        for (std::size_t i = 0; i < fromCommandLine.size(); ++i) {
            EXPECT_EQ(fromCommandLine[i].text, m_messages->Messages()[i].text);
            EXPECT_EQ(fromCommandLine[i].icon, m_messages->Messages()[i].icon);
        }
        EXPECT_EQ(ReadSetting(kLastFile), path);
        CloseFrame();
    }
}
