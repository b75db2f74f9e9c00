// Putting a recording on the disk, through the real window and SDL's disk driver, with the
// syncs replaced: a sync that fails is a failed write, and a sync that hangs holds up neither
// the stop nor the window, while the file is never opened twice for writing. A last sync that
// fails is always told, naming the file; a folder that refuses its sync loses nothing.

#include <cerrno>
#include <condition_variable>
#include <mutex>

#include <sys/stat.h>
#include <unistd.h>
#include <wx/filedlg.h>
#include <wx/testing.h>

#include "controls/StatusLamp.h"
#include "controls/TimePanel.h"
#include "engine/play/Mp3Player.h"
#include "engine/record/Mp3TestFiles.h"
#include "engine/record/WaveRecorder.h"
#include "panel/PanelFixture.h"
#include "panel/RecordingReport.h"
#include "panel/SavingFailures.h"
#include "platform/FileSync.h"
#include "platform/ProfileKeys.h"
#include "res/ResourceIds.h"
#include "support/GuiWait.h"

using testing_support::WaitFor;

namespace {

// Data syncs that fail once (the second), from a moment on, or that wait until the test lets
// them go (the one waiting then fails when the test says so).
class TestSync : public platform::FileSync {
public:
    bool Data(int fd) override
    {
        std::unique_lock<std::mutex> lock(mutex);
        ++calls;
        waiting = held;
        if (held && waitingFd < 0)
            waitingFd = fd;  // the first sync held
        released.wait(lock, [this] { return !held; });
        waiting = false;
        return !(failSecond && calls == 2) && !failing && fd != failFd;
    }
    bool FolderOf(const std::string&) override { return true; }
    void Release()
    {
        {
            std::lock_guard<std::mutex> lock(mutex);
            held = false;
        }
        released.notify_all();
    }
    void ReleaseFailing()
    {
        {
            std::lock_guard<std::mutex> lock(mutex);
            failFd = waitingFd;
        }
        Release();
    }
    void FailFromNow()
    {
        std::lock_guard<std::mutex> lock(mutex);
        failing = true;
    }
    bool Waiting()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return waiting;
    }

    std::mutex mutex;
    std::condition_variable released;
    int calls = 0;
    bool failSecond = false;
    bool held = false;
    bool waiting = false;
    bool failing = false;
    int waitingFd = -1;
    int failFd = -1;
};

// The answer a write-only folder gives a user who is not root when it is opened to be synced.
class WriteOnlyFolderSync : public platform::FileSync {
protected:
    int SyncFolder(const std::string&) override { return EACCES; }
};

class SavingTest : public PanelFixture {
protected:
    void OpenEmptyFile(const std::string& folder = std::string(), std::shared_ptr<platform::FileSync> sync = nullptr)
    {
        platform::WriteSetting(platform::kLoader, 1);  // a new, empty file at start-up
        platform::WriteSetting(platform::kLastFile, folder.empty() ? File("old.mp3") : folder + "/old.mp3");
        OpenFrame();
        ExpectState(State::Stopped);
        m_panel->SetFileSync(sync ? sync : m_sync);
    }
    void RecordFor(int ms)
    {
        PressKey(WXK_RETURN);
        ASSERT_TRUE(WaitForLamp(LAMP_RECORD));
        Pump(ms);
        PressKey(WXK_RETURN);
        ASSERT_TRUE(WaitFor([&] { return m_panel->Player() != nullptr; }, 5000));
    }
    std::string Failed(const std::string& path) const { return path + "\n" + report::kSavingFailed; }
    bool WaitForLamp(int state, int ms = 10000)
    {
        return WaitFor([&] { return m_panel->Lamp()->GetState() == state; }, ms);
    }

    std::shared_ptr<TestSync> m_sync = std::make_shared<TestSync>();
};

}  // namespace

// One failed sync (later ones work again) means sound may be lost: the recording stops with
// the failed-write message, and the file keeps what came before.
TEST_F(SavingTest, ASyncThatFailsStopsTheRecordingAndKeepsWhatCameBefore)
{
    m_sync->failSecond = true;
    OpenEmptyFile();
    const std::string path = platform::ReadSetting(platform::kLastFile);
    PressKey(WXK_RETURN);
    ASSERT_TRUE(WaitForLamp(LAMP_RECORD));
    ASSERT_TRUE(WaitFor([&] { return !m_messages->Messages().empty(); }, 10000)) << "no message";
    ASSERT_TRUE(WaitFor([&] { return m_panel->Player() != nullptr; }, 5000));
    ExpectState(State::Stopped, "after the failed sync");
    ASSERT_EQ(m_messages->Messages().size(), 1u);
    EXPECT_EQ(m_messages->Messages()[0].text, path + "\nНе удалось записать файл, запись остановлена.\n");
    EXPECT_EQ(m_messages->Messages()[0].icon, platform::MessageIcon::Stop);
    // Two syncs came about a second apart: well over a second of sound was written first.
    const auto decoded = record_test::DecodeMp3(path);
    ASSERT_TRUE(decoded.ok);
    EXPECT_GT(decoded.Frames(), static_cast<std::size_t>(decoded.rate));
}

// A disk that takes its time: Stop gives the window back after its designed wait while the last
// sync is still held, the file is loaded, a key is handled at once; Record into the same file
// is refused until the file is closed, and works again afterwards.
TEST_F(SavingTest, AHangingSyncHoldsUpNeitherTheStopNorTheWindow)
{
    m_sync->held = true;
    OpenEmptyFile();
    const std::string path = platform::ReadSetting(platform::kLastFile);
    PressKey(WXK_RETURN);
    ASSERT_TRUE(WaitForLamp(LAMP_RECORD));
    ASSERT_TRUE(WaitFor([&] { return m_sync->Waiting(); }, 5000)) << "no sync began";
    Pump(1500);
    PressKey(WXK_RETURN);
    ASSERT_TRUE(WaitFor([&] { return m_panel->Player() != nullptr; }, 5000)) << "the stop waited for the disk";
    EXPECT_TRUE(m_sync->Waiting());
    ExpectState(State::Stopped, "while the sync hangs");
    EXPECT_GT(m_panel->Player()->GetLength(), 1.5f);
    // A key is handled at once: End moves to the end of what was recorded.
    PressKey(WXK_END);
    EXPECT_TRUE(WaitFor([&] { return m_panel->TimePanel()->GetSeconds() >= 1; }, 1000));

    PressKey(WXK_RETURN);
    ASSERT_TRUE(WaitFor([&] { return !m_messages->Messages().empty(); }, 5000));
    EXPECT_EQ(m_messages->Messages()[0].text,
              path + "\nПрошлая запись в этот файл ещё сохраняется на диск. Повторите запись, когда она "
                     "сохранится.\n");
    ExpectState(State::Stopped, "refused");

    m_sync->Release();
    Pump(300);
    PressKey(WXK_RETURN);
    ASSERT_TRUE(WaitForLamp(LAMP_RECORD)) << "the file stayed busy";
    Pump(1000);
    PressKey(WXK_RETURN);
    ASSERT_TRUE(WaitFor([&] { return m_panel->Player() != nullptr; }, 5000));
    EXPECT_EQ(m_messages->Messages().size(), 1u);
    EXPECT_TRUE(record_test::DecodeMp3(path).ok);
}

// Stop and quit at once, and the last sync fails: the close waits for it and says so, naming the
// file, while the window still stands.
TEST_F(SavingTest, ALastSyncThatFailsAtTheCloseIsShownBeforeTheWindowGoes)
{
    OpenEmptyFile();
    const std::string path = platform::ReadSetting(platform::kLastFile);
    PressKey(WXK_RETURN);
    ASSERT_TRUE(WaitForLamp(LAMP_RECORD));
    Pump(1200);
    m_sync->FailFromNow();
    m_frame->Close(true);  // the window is destroyed only once the event loop runs again
    ASSERT_EQ(m_messages->Messages().size(), 1u) << "nothing told before the window went";
    EXPECT_EQ(m_messages->Messages()[0].text, Failed(path));
    EXPECT_EQ(m_messages->Messages()[0].icon, platform::MessageIcon::Stop);
    m_frame = nullptr;
    m_panel = nullptr;
    Pump(20);
}

// The last sync of recording A hangs and then fails after B was recorded and stopped, while C
// records: A's failure is shown then, naming A, and nothing else is told.
TEST_F(SavingTest, AFailedLastSyncIsShownWhateverWasRecordedSince)
{
    m_sync->held = true;
    OpenEmptyFile();
    const std::string first = platform::ReadSetting(platform::kLastFile);
    RecordFor(800);
    ASSERT_TRUE(WaitFor([&] { return m_sync->Waiting(); }, 5000));
    wxTEST_DIALOG(Command(res::ID_FILE_NEW), wxExpectModal<wxFileDialog>(File("b.mp3")));
    RecordFor(800);
    wxTEST_DIALOG(Command(res::ID_FILE_NEW), wxExpectModal<wxFileDialog>(File("c.mp3")));
    PressKey(WXK_RETURN);
    ASSERT_TRUE(WaitForLamp(LAMP_RECORD));
    m_sync->ReleaseFailing();
    ASSERT_TRUE(WaitFor([&] { return !m_messages->Messages().empty(); }, 5000)) << "A's failure was lost";
    EXPECT_NE(m_panel->Recorder(), nullptr) << "C still records";
    EXPECT_EQ(m_messages->Messages()[0].text, Failed(first));
    Pump(500);
    PressKey(WXK_RETURN);
    ASSERT_TRUE(WaitFor([&] { return m_panel->Player() != nullptr; }, 5000));
    Pump(300);
    EXPECT_EQ(m_messages->Messages().size(), 1u);
    EXPECT_TRUE(record_test::DecodeMp3(File("c.mp3")).ok);
}

// A last sync that hangs through the close's wait and fails after the window has gone: the
// program's end keeps it, and the next start shows it, once.
TEST_F(SavingTest, ALastSyncThatFailsAfterTheCloseIsShownOnceAtTheNextStart)
{
    m_sync->held = true;
    OpenEmptyFile();
    const std::string path = platform::ReadSetting(platform::kLastFile);
    RecordFor(800);
    CloseFrame();
    EXPECT_TRUE(m_messages->Messages().empty());
    m_sync->ReleaseFailing();
    CSavingFailures::AtExit();  // as the program's end does once its window has gone
    EXPECT_TRUE(m_messages->Messages().empty());

    OpenFrame();
    ASSERT_TRUE(WaitFor([&] { return !m_messages->Messages().empty(); }, 5000)) << "not shown at the next start";
    EXPECT_EQ(m_messages->Messages()[0].text, Failed(path));
    CloseFrame();
    OpenFrame();
    Pump(500);
    EXPECT_EQ(m_messages->Messages().size(), 1u) << "shown again";
}

// A new file in a folder that may be written but not read: its folder cannot be opened to be
// synced (root may open anything, so there the system's answer is given through the seam). The
// recording goes on and keeps its sound; nothing is told.
TEST_F(SavingTest, ANewFileInAWriteOnlyFolderRecords)
{
    const std::string folder = File("drop");
    ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
    ASSERT_EQ(::chmod(folder.c_str(), 0333), 0);
    std::shared_ptr<platform::FileSync> sync =
        ::geteuid() == 0 ? std::make_shared<WriteOnlyFolderSync>() : std::make_shared<platform::FileSync>();
    OpenEmptyFile(folder, sync);
    const std::string path = platform::ReadSetting(platform::kLastFile);
    ASSERT_EQ(path.rfind(folder + "/", 0), 0u) << path;
    RecordFor(2000);
    Pump(300);
    EXPECT_TRUE(m_messages->Messages().empty()) << m_messages->Messages()[0].text;
    const auto decoded = record_test::DecodeMp3(path);
    ::chmod(folder.c_str(), 0755);
    ASSERT_TRUE(decoded.ok);
    EXPECT_GT(decoded.Frames(), static_cast<std::size_t>(decoded.rate));
}
