// While recording the program keeps the computer awake through the login manager: a mock
// login manager (python3-dbusmock's logind template) on a private bus standing in for the
// system bus sees the inhibitor taken at Record and let go at Stop, and none at all with the
// "Автозапись" page's check box off.

#include <csignal>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include <gio/gio.h>
#include <sys/wait.h>
#include <unistd.h>

#include "controls/StatusLamp.h"
#include "panel/PanelFixture.h"
#include "platform/ProfileKeys.h"
#include "platform/Profile.h"
#include "support/GuiWait.h"
#include "support/Mp3Maker.h"
#include "support/XInput.h"

using testing_support::WaitFor;

namespace {

using Inhibitor = std::tuple<std::string, std::string, std::string, std::string>;  // what, who, why, mode

// A private D-Bus daemon with the mock login manager on it; DBUS_SYSTEM_BUS_ADDRESS points there
// while it lives.
class LoginManagerMock {
public:
    LoginManagerMock()
    {
        const gchar* daemon[] = {"dbus-daemon", "--session", "--nofork", "--print-address=1", nullptr};
        gint out = -1;
        if (!g_spawn_async_with_pipes(nullptr, const_cast<gchar**>(daemon), nullptr, G_SPAWN_SEARCH_PATH, nullptr,
                                      nullptr, &m_daemon, nullptr, &out, nullptr, nullptr))
            return;
        char line[512] = {};
        std::size_t used = 0;
        while (used + 1 < sizeof line) {
            const ssize_t n = ::read(out, line + used, 1);
            if (n <= 0 || line[used] == '\n')
                break;
            ++used;
        }
        ::close(out);
        line[used] = '\0';
        m_address = line;
        if (m_address.empty())
            return;
        m_env = std::make_unique<testing_support::ScopedEnv>("DBUS_SYSTEM_BUS_ADDRESS", m_address);
        // Debian's own Python, which has the dbusmock package.
        const gchar* python = g_file_test("/usr/bin/python3", G_FILE_TEST_IS_EXECUTABLE) ? "/usr/bin/python3" : "python3";
        const gchar* mock[] = {python, "-m", "dbusmock", "--system", "--template", "logind", nullptr};
        if (!g_spawn_async(nullptr, const_cast<gchar**>(mock), nullptr,
                           static_cast<GSpawnFlags>(G_SPAWN_SEARCH_PATH | G_SPAWN_DO_NOT_REAP_CHILD), nullptr,
                           nullptr, &m_mock, nullptr))
            return;
        m_bus = g_dbus_connection_new_for_address_sync(
            m_address.c_str(),
            static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                              G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
            nullptr, nullptr, nullptr);
        for (int i = 0; i < 100 && m_bus != nullptr && !m_ready; ++i) {
            m_ready = Inhibitors().has_value();
            if (!m_ready)
                g_usleep(100000);
        }
    }
    ~LoginManagerMock()
    {
        if (m_bus != nullptr)
            g_object_unref(m_bus);
        for (GPid pid : {m_mock, m_daemon})
            if (pid > 0) {
                ::kill(pid, SIGTERM);
                ::waitpid(pid, nullptr, 0);
            }
    }
    bool Ready() const { return m_ready; }

    // The inhibitors the login manager holds now; nothing when it does not answer.
    std::optional<std::vector<Inhibitor>> Inhibitors() const
    {
        GVariant* reply = g_dbus_connection_call_sync(m_bus, "org.freedesktop.login1", "/org/freedesktop/login1",
                                                      "org.freedesktop.login1.Manager", "ListInhibitors", nullptr,
                                                      G_VARIANT_TYPE("(a(ssssuu))"), G_DBUS_CALL_FLAGS_NONE, 2000,
                                                      nullptr, nullptr);
        if (reply == nullptr)
            return std::nullopt;
        std::vector<Inhibitor> list;
        GVariantIter* iter = nullptr;
        g_variant_get(reply, "(a(ssssuu))", &iter);
        const gchar *what, *who, *why, *mode;
        guint32 uid, pid;
        while (g_variant_iter_next(iter, "(&s&s&s&suu)", &what, &who, &why, &mode, &uid, &pid))
            list.emplace_back(what, who, why, mode);
        g_variant_iter_free(iter);
        g_variant_unref(reply);
        return list;
    }

private:
    GPid m_daemon = 0;
    GPid m_mock = 0;
    std::string m_address;
    std::unique_ptr<testing_support::ScopedEnv> m_env;
    GDBusConnection* m_bus = nullptr;
    bool m_ready = false;
};

}  // namespace

class SleepInhibitorTest : public PanelFixture {};

TEST_F(SleepInhibitorTest, RecordingHoldsTheLoginManagersInhibitorUntilStopUnlessTheCheckBoxIsOff)
{
    LoginManagerMock logind;
    if (!logind.Ready())
        GTEST_SKIP() << "needs dbus-daemon and python3-dbusmock";
    const std::string path = File("night.mp3");
    ASSERT_TRUE(testing_support::WriteToneMp3(path, 2.0, 11025, 1, 32));
    const Inhibitor ours{"sleep:idle", "Dravellin Recorder", "Идёт запись", "block"};

    OpenFrame(path);
    ExpectState(State::Stopped, "opened");
    EXPECT_TRUE(logind.Inhibitors()->empty());
    PressKey(WXK_RETURN);
    ASSERT_TRUE(WaitFor([&] { return logind.Inhibitors() == std::vector<Inhibitor>{ours}; }, 5000));
    EXPECT_EQ(m_panel->Lamp()->GetState(), LAMP_RECORD);
    PressKey(WXK_RETURN);
    ASSERT_TRUE(WaitFor([&] { return m_panel->Lamp()->GetState() == LAMP_STOP; }, 20000));
    EXPECT_TRUE(WaitFor([&] { return logind.Inhibitors()->empty(); }, 5000));
    CloseFrame();

    // The "Автозапись" page's check box, off.
    platform::WriteSetting(platform::kKeepAwake, 0);
    OpenFrame(path);
    PressKey(WXK_RETURN);
    ASSERT_TRUE(WaitFor([&] { return m_panel->Lamp()->GetState() == LAMP_RECORD; }, 20000));
    Pump(1500);
    EXPECT_TRUE(logind.Inhibitors()->empty());
    PressKey(WXK_RETURN);
    ASSERT_TRUE(WaitFor([&] { return m_panel->Lamp()->GetState() == LAMP_STOP; }, 20000));
    EXPECT_TRUE(m_messages->Messages().empty());
}
