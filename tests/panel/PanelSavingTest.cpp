// Putting a recording on the disk, through the real window and SDL's disk driver, with the
// syncs replaced: a sync that fails is a failed write, and a sync that hangs holds up neither
// the stop nor the window, while the file is never opened twice for writing.

#include <condition_variable>
#include <mutex>

#include "controls/StatusLamp.h"
#include "controls/TimePanel.h"
#include "engine/play/Mp3Player.h"
#include "engine/record/Mp3TestFiles.h"
#include "engine/record/WaveRecorder.h"
#include "panel/PanelFixture.h"
#include "platform/FileSync.h"
#include "platform/ProfileKeys.h"
#include "support/GuiWait.h"

using testing_support::WaitFor;

namespace {

// Data syncs that fail once (the second), or that wait until the test lets them go.
class TestSync : public platform::FileSync {
public:
    bool Data(int) override
    {
        std::unique_lock<std::mutex> lock(mutex);
        ++calls;
        waiting = held;
        released.wait(lock, [this] { return !held; });
        waiting = false;
        return !(failSecond && calls == 2);
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
};

class SavingTest : public PanelFixture {
protected:
    void OpenEmptyFile()
    {
        platform::WriteSetting(platform::kLoader, 1);  // a new, empty file at start-up
        platform::WriteSetting(platform::kLastFile, File("old.mp3"));
        OpenFrame();
        ExpectState(State::Stopped);
        m_panel->SetFileSync(m_sync);
    }
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
