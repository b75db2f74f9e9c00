#pragma once
// The program's own sound output, whichever the platform has: on Linux DefaultSoundOutput (the
// sound server's stream, or SDL's playback), on Windows the wave-output functions
// (twins: linux/SoundOutputFactory.cpp and windows/SoundOutputFactory.cpp).

#include <memory>

#include "engine/play/SoundOutput.h"

namespace play {

std::unique_ptr<SoundOutput> MakeDefaultSoundOutput();

}  // namespace play
