#pragma once
// The sound output library held for an object's lifetime: SDL's audio subsystem is
// initialised at construction and released at destruction. Initialisation is reference
// counted by SDL, so any number of holders may exist at once.
//
// Thread: user-interface thread.

namespace play {

class SoundSystem {
public:
    SoundSystem();
    ~SoundSystem();
    SoundSystem(const SoundSystem&) = delete;
    SoundSystem& operator=(const SoundSystem&) = delete;

    // False when no sound driver could be initialised.
    bool Ready() const { return m_ready; }

private:
    bool m_ready = false;
};

}  // namespace play
