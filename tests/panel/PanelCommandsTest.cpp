#include <wx/dialog.h>
#include <wx/menu.h>
#include <wx/filedlg.h>
#include <wx/testing.h>
#include <wx/tooltip.h>

#include <gtk/gtk.h>

#include "controls/InfoPanel.h"
#include "controls/PanelButton.h"
#include "controls/TimePanel.h"
#include "engine/play/Mp3Player.h"
#include "panel/PanelFixture.h"
#include "panel/WindowTitle.h"
#include "platform/DesktopLauncher.h"
#include "platform/ProfileKeys.h"
#include "res/ResourceIds.h"
#include "support/GuiWait.h"
#include "support/XInput.h"
#include "support/Mp3Maker.h"

using namespace platform;

class CommandsTest : public PanelFixture {};

TEST_F(CommandsTest, StartUpActionNothingShowsTheSettingsFormat)
{
    WriteSetting(kLoader, 0);
    WriteSetting(kBitrate, 10);
    WriteSetting(kStereoMode, 1);
    WriteSetting(kSampleFreq, 3);
    OpenFrame();
    ExpectState(State::NoFile);
    EXPECT_EQ(m_panel->InfoPanel()->FormatText(), "256 kbps : 44.1 kHz : Stereo");
    EXPECT_EQ(m_panel->InfoPanel()->SizeText(), "0 kBytes (0:00:00)");
}

TEST_F(CommandsTest, StartUpActionNewFileCreatesOneInTheLastFolder)
{
    WriteSetting(kLoader, 1);
    WriteSetting(kLastFile, File("old.mp3"));
    OpenFrame();
    ExpectState(State::Stopped);
    const std::string created = ReadSetting(kLastFile);
    EXPECT_EQ(created.rfind(m_dir.Path() + "/", 0), 0u) << created;
    EXPECT_EQ(created.size(), m_dir.Path().size() + 1 + 14) << created;  // ddmmm_hhmm.mp3
    EXPECT_EQ(Title(), created.substr(m_dir.Path().size() + 1) + " - Dravellin Recorder");
}

TEST_F(CommandsTest, StartUpActionLastFileLoadsItOrNothing)
{
    const std::string path = File("last.mp3");
    ASSERT_TRUE(testing_support::WriteToneMp3(path, 3.0, 11025, 1, 32));
    WriteSetting(kLoader, 2);
    WriteSetting(kLastFile, path);
    OpenFrame();
    ExpectState(State::Stopped, "valid last file");
    EXPECT_EQ(Title(), "last.mp3 - Dravellin Recorder");
    CloseFrame();

    WriteSetting(kLastFile, "");
    SetWindowTitleText("<No file> - Dravellin Recorder");
    OpenFrame();
    ExpectState(State::NoFile, "empty last file");
    EXPECT_TRUE(m_messages->Messages().empty());
    CloseFrame();

    WriteSetting(kLastFile, File("deleted.mp3"));
    OpenFrame();
    ExpectState(State::NoFile, "deleted last file");
    ASSERT_EQ(m_messages->Messages().size(), 1u);
    EXPECT_EQ(m_messages->Messages()[0].icon, MessageIcon::Exclamation);
}

TEST_F(CommandsTest, EveryButtonIsNamedAfterItsMenuCommand)
{
    OpenFrame();
    const std::pair<CPanelButton*, const char*> expected[] = {
        {m_panel->NewButton(), "Новый..."},        {m_panel->RecordButton(), "Запись"},
        {m_panel->PlayButton(), "Воспроизведение"}, {m_panel->OpenButton(), "Открыть..."},
        {m_panel->RecLevelButton(), "Уровень записи..."}, {m_panel->VolumeButton(), "Громкость..."},
    };
    // The descriptions come once the window is up.
    testing_support::WaitFor([&] { return !m_panel->VolumeButton()->GetDescription().empty(); });
    for (const auto& [button, name] : expected) {
        EXPECT_EQ(button->GetDescription(), name);
        ASSERT_NE(button->GetToolTip(), nullptr) << name;
        EXPECT_EQ(button->GetToolTip()->GetTip().utf8_string(), name);
    }
}

namespace {

// The text of the first label inside widget.
void FindLabelText(GtkWidget* widget, gpointer text)
{
    auto* out = static_cast<std::string*>(text);
    if (!out->empty())
        return;
    if (GTK_IS_LABEL(widget))
        *out = gtk_label_get_text(GTK_LABEL(widget));
    else if (GTK_IS_CONTAINER(widget))
        gtk_container_forall(GTK_CONTAINER(widget), FindLabelText, text);
}

// The text of the toolkit's tooltip window on screen; "" when none is shown.
std::string ShownTooltip()
{
    std::string text;
    GList* windows = gtk_window_list_toplevels();
    for (GList* w = windows; w != nullptr; w = w->next) {
        GtkWindow* window = GTK_WINDOW(w->data);
        if (gtk_window_get_type_hint(window) == GDK_WINDOW_TYPE_HINT_TOOLTIP &&
            gtk_widget_get_mapped(GTK_WIDGET(window)))
            FindLabelText(GTK_WIDGET(window), &text);
    }
    g_list_free(windows);
    return text;
}

}  // namespace

TEST_F(CommandsTest, HoveringOverAButtonShowsItsTooltip)
{
    OpenFrame();
    m_frame->Raise();
    Pump(200);
    const wxRect rect = m_panel->VolumeButton()->GetScreenRect();
    testing_support::XMovePointer(wxPoint(rect.x - 40, rect.y - 40));
    Pump(100);
    EXPECT_EQ(ShownTooltip(), "");
    // A hand coming to rest on the button.
    for (int step = 0; step < 6; ++step) {
        testing_support::XMovePointer(wxPoint(rect.x + 6 + step, rect.y + rect.height / 2));
        Pump(100);
    }
    EXPECT_TRUE(testing_support::WaitFor([] { return !ShownTooltip().empty(); }, 20000));
    EXPECT_EQ(ShownTooltip(), "Громкость...");
    testing_support::XMovePointer(wxPoint(rect.x - 40, rect.y - 40));
}

TEST_F(CommandsTest, AlwaysOnTopToggledTwice)
{
    OpenFrame();
    EXPECT_EQ(ReadSetting(kAlwaysOnTop), 0);  // written back at creation
    EXPECT_FALSE(MenuBar()->IsChecked(res::ID_ALWAYS_ON_TOP));
    EXPECT_FALSE(m_frame->GetWindowStyleFlag() & wxSTAY_ON_TOP);

    Command(res::ID_ACCEL_ON_TOP);
    EXPECT_TRUE(MenuBar()->IsChecked(res::ID_ALWAYS_ON_TOP));
    EXPECT_TRUE(m_frame->GetWindowStyleFlag() & wxSTAY_ON_TOP);
    EXPECT_EQ(ReadSetting(kAlwaysOnTop), 1);

    Command(res::ID_ALWAYS_ON_TOP);
    EXPECT_FALSE(MenuBar()->IsChecked(res::ID_ALWAYS_ON_TOP));
    EXPECT_FALSE(m_frame->GetWindowStyleFlag() & wxSTAY_ON_TOP);
    EXPECT_EQ(ReadSetting(kAlwaysOnTop), 0);
}

TEST_F(CommandsTest, StoredAlwaysOnTopAppliesAtStartAndIsWrittenBackAsOne)
{
    WriteSetting(kAlwaysOnTop, 7);
    OpenFrame();
    EXPECT_TRUE(MenuBar()->IsChecked(res::ID_ALWAYS_ON_TOP));
    EXPECT_TRUE(m_frame->GetWindowStyleFlag() & wxSTAY_ON_TOP);
    EXPECT_EQ(ReadSetting(kAlwaysOnTop), 1);
}

TEST_F(CommandsTest, MixerWebAndMailCommandsStartTheDesktopPrograms)
{
    std::vector<std::vector<std::string>> started;
    const CommandRunner previous = SetCommandRunner([&](const std::vector<std::string>& argv) {
        started.push_back(argv);
        return true;
    });
    OpenFrame();
    Command(res::ID_WEB_SITE);
    Command(res::ID_SEND_EMAIL);
    ASSERT_EQ(started.size(), 2u);
    EXPECT_EQ(started[0].back().rfind("https://", 0), 0u);
    EXPECT_EQ(started[1].back().rfind("mailto:", 0), 0u);
    EXPECT_NE(started[1].back().find("?subject=QX%20Recorder,%20version%201.0b"), std::string::npos);

    started.clear();
    Command(res::ID_RECORD_LEVEL);
    Command(res::ID_ACCEL_VOLUME);
    Click(res::IDC_RECORD_LEVEL_BUTTON);
    if (!FindOnPath("pavucontrol").empty()) {
        ASSERT_EQ(started.size(), 3u);
        EXPECT_EQ(started[0], (std::vector<std::string>{"pavucontrol", "--tab=4"}));
        EXPECT_EQ(started[1], (std::vector<std::string>{"pavucontrol", "--tab=3"}));
    }
    SetCommandRunner(previous);
    EXPECT_TRUE(m_messages->Messages().empty());
}

TEST_F(CommandsTest, SettingsOkRefreshesWhatDependsOnTheFormat)
{
    // Each step marks the displays first, so a refresh shows as the mark going away.
    OpenFrame();
    // No file: the format and size lines are redrawn from the settings.
    m_panel->InfoPanel()->ShowSize(5, "mark");
    wxTEST_DIALOG(Command(res::ID_SETTINGS), wxExpectDismissableModal<wxDialog>(wxID_OK));
    EXPECT_EQ(m_panel->InfoPanel()->SizeText(), "0 kBytes (0:00:00)");

    // An empty file: reloaded, so the next recording takes the settings' format.
    wxTEST_DIALOG(Command(res::ID_FILE_NEW), wxExpectModal<wxFileDialog>(File("empty.mp3")));
    ASSERT_NE(m_panel->Player(), nullptr);
    m_panel->TimePanel()->SetSeconds(42);
    wxTEST_DIALOG(Command(res::ID_ACCEL_SETTINGS), wxExpectDismissableModal<wxDialog>(wxID_OK));
    ASSERT_NE(m_panel->Player(), nullptr);
    EXPECT_EQ(m_panel->TimePanel()->GetSeconds(), 0);

    // A file with audio: nothing changes until the next load.
    const std::string path = File("tone.mp3");
    ASSERT_TRUE(testing_support::WriteToneMp3(path, 2.0, 22050, 2, 64));
    wxTEST_DIALOG(Command(res::ID_FILE_OPEN), wxExpectModal<wxFileDialog>(path));
    ASSERT_NE(m_panel->Player(), nullptr);
    m_panel->TimePanel()->SetSeconds(42);
    const std::string format = m_panel->InfoPanel()->FormatText();
    wxTEST_DIALOG(Command(res::ID_SETTINGS), wxExpectDismissableModal<wxDialog>(wxID_OK));
    EXPECT_EQ(m_panel->TimePanel()->GetSeconds(), 42);
    EXPECT_EQ(m_panel->InfoPanel()->FormatText(), format);

    // Cancel changes nothing, with or without a file.
    wxTEST_DIALOG(Command(res::ID_SETTINGS), wxExpectDismissableModal<wxDialog>(wxID_CANCEL));
    EXPECT_EQ(m_panel->TimePanel()->GetSeconds(), 42);
}
