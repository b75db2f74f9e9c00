#pragma once
// The login manager's sleep inhibitor (org.freedesktop.login1.Manager.Inhibit on the system
// bus, "sleep:idle", mode "block") through GLib's GDBus, asked without waiting: the answer
// comes on the user-interface thread's main loop, and the lock is the file descriptor it
// hands back, held until Release closes it. Without a system bus or a login manager, or when
// it refuses, one line goes to standard error and nothing else happens. On Windows the
// thread's execution state keeps the system awake instead.
//
// Thread: user-interface thread (the GLib main loop runs there).

#include <memory>

#include "platform/SleepInhibitor.h"

namespace platform {

class LoginSleepInhibitor : public SleepInhibitor {
public:
    LoginSleepInhibitor();
    ~LoginSleepInhibitor() override;
    LoginSleepInhibitor(const LoginSleepInhibitor&) = delete;
    LoginSleepInhibitor& operator=(const LoginSleepInhibitor&) = delete;

    void Hold() override;
    void Release() override;

    struct Request;  // one Hold's state, shared with the answers still to come

private:
    std::shared_ptr<Request> m_request;
};

}  // namespace platform
