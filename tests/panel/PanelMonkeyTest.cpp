#include <random>

#include <wx/filedlg.h>
#include <wx/menu.h>
#include <wx/modalhook.h>

#include "controls/SeekSlider.h"
#include "panel/PanelFixture.h"
#include "res/ResourceIds.h"
#include "support/Mp3Maker.h"

namespace {

// Answers every modal dialog at once: file dialogs with one of a few paths (or Cancel),
// everything else with OK or Cancel.
class AutoAnswerHook : public wxModalDialogHook {
public:
    AutoAnswerHook(std::mt19937& random, std::vector<std::string> paths) : m_random(random), m_paths(std::move(paths))
    {
        Register();
    }
    ~AutoAnswerHook() override { Unregister(); }

protected:
    int Enter(wxDialog* dialog) override
    {
        const bool ok = m_random() % 4 != 0;
        if (auto* file = dynamic_cast<wxFileDialog*>(dialog)) {
            file->SetPath(wxString::FromUTF8(m_paths[m_random() % m_paths.size()]));
        }
        return ok ? wxID_OK : wxID_CANCEL;
    }
    void Exit(wxDialog*) override {}

private:
    std::mt19937& m_random;
    std::vector<std::string> m_paths;
};

}  // namespace

class MonkeyTest : public PanelFixture {};

TEST_F(MonkeyTest, RandomCommandsNeverBreakTheStateTable)
{
    ASSERT_TRUE(testing_support::WriteToneMp3(File("tone.mp3"), 12.0, 11025, 1, 32));
    testing_support::WriteWholeFile(File("text.mp3"), "not audio at all\n");
    OpenFrame();

    std::mt19937 random(20261207);
    AutoAnswerHook hook(random, {File("tone.mp3"), File("new.mp3"), File("text.mp3"), File("missing.mp3")});
    const int commands[] = {
        res::ID_SOUND_RECORD, res::ID_SOUND_PLAY,     res::ID_SOUND_START,    res::ID_SOUND_BACK,
        res::ID_SOUND_FORWARD, res::ID_SOUND_END,     res::ID_FILE_NEW,       res::ID_FILE_OPEN,
        res::ID_ACCEL_ENTER,  res::ID_ACCEL_SPACE,    res::ID_ACCEL_HOME,     res::ID_ACCEL_END,
        res::ID_ACCEL_LEFT,   res::ID_ACCEL_RIGHT,    res::ID_ACCEL_NEW,      res::ID_ACCEL_OPEN,
        res::ID_SETTINGS,     res::ID_ACCEL_SETTINGS, res::ID_ALWAYS_ON_TOP,
    };
    const int buttons[] = {res::IDC_RECORD_BUTTON, res::IDC_PLAY_BUTTON, res::IDC_NEW_BUTTON,
                           res::IDC_OPEN_BUTTON};
    const int steps = std::getenv("DR_MONKEY_STEPS") ? std::atoi(std::getenv("DR_MONKEY_STEPS")) : 1500;
    for (int step = 0; step < steps && !HasFatalFailure(); ++step) {
        const unsigned kind = random() % 10;
        if (kind < 6) {
            const int id = commands[random() % std::size(commands)];
            // Greyed items and disabled buttons cannot send their commands.
            if (MenuBar()->FindItem(id) != nullptr && !MenuEnabled(id))
                continue;
            Command(id);
        } else if (kind < 8) {
            const int id = buttons[random() % std::size(buttons)];
            if (m_panel->FindWindow(id)->IsEnabled())
                Click(id);
        } else if (m_panel->Slider()->IsEnabled()) {
            const int codes[] = {CMainPanel::kScrollLineLeft,  CMainPanel::kScrollLineRight,
                                 CMainPanel::kScrollPageLeft,  CMainPanel::kScrollPageRight,
                                 CMainPanel::kScrollThumbTrack, CMainPanel::kScrollThumbPosition, 8};
            m_panel->OnSliderScroll(codes[random() % std::size(codes)], static_cast<int>(random() % 1001));
        }
        if (random() % 50 == 0)
            Pump(static_cast<int>(random() % 1200));

        const bool recording = m_panel->Recorder() != nullptr;
        const bool playing = !recording && m_panel->Player() != nullptr && m_panel->IsTimerRunning(kPlayTimerId);
        const State state = recording ? State::Recording
                          : playing   ? State::Playing
                          : m_panel->Player() != nullptr ? State::Stopped
                                                          : State::NoFile;
        ExpectState(state, ("step " + std::to_string(step)).c_str());
        if (HasFailure())
            break;
    }
}
