#pragma once
// An auto-reset event one thread waits on and others set: wakes a thread that waits for its
// sound engine's own event too (see WasapiStream::Wait). Windows only. Thread: any.

namespace platform {

class WakeEvent {
public:
    WakeEvent();
    ~WakeEvent();
    WakeEvent(const WakeEvent&) = delete;
    WakeEvent& operator=(const WakeEvent&) = delete;

    void Set();
    // The event's HANDLE.
    void* Handle() const { return m_handle; }

private:
    void* m_handle = nullptr;
};

}  // namespace platform
