#pragma once
// COM for the calling thread, for as long as the object lives: the multithreaded apartment,
// which a thread of our own that talks to the sound engine needs (no message loop there).
// Windows only. Thread: made and destroyed on the same thread.

namespace platform {

class ComScope {
public:
    ComScope();
    ~ComScope();
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

    // False when COM could not be set up on this thread.
    bool Ok() const { return m_ok; }

private:
    bool m_ok = false;
};

}  // namespace platform
