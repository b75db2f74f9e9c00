#pragma once
// A repeating tick on the user-interface thread for work that mostly only draws (the level
// meter, ten times a second while recording). A toolkit timer's every tick also runs the
// toolkit's idle processing over every window (GTK: each wxTimer tick wakes wxWidgets' idle
// handling), which cost more than the drawing itself; a tick here runs its handler and nothing
// else. A handler that changed more than a picture returns true, and the idle processing then
// follows as after any event. Where the toolkit has no such cost it is a plain timer.
//
// User-interface thread only. The handler may stop or restart its own ticker.

#include <functional>
#include <memory>

namespace platform {

class UiTicker {
public:
    // Returns true when the tick changed more than what it drew.
    using Handler = std::function<bool()>;

    explicit UiTicker(Handler handler);
    ~UiTicker();
    UiTicker(const UiTicker&) = delete;
    UiTicker& operator=(const UiTicker&) = delete;

    // Ticks every milliseconds from now on (again from now when it was running).
    void Start(int milliseconds);
    void Stop();
    bool IsRunning() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace platform
