#pragma once
// The program's own sound output, whichever the platform has: on Linux DefaultSoundOutput (the
// sound server's stream, or SDL's playback), on Windows the wave-output functions
// (windows/SoundOutputFactory.cpp replaces this file's twin there).

#include <memory>

#include "engine/play/SoundOutput.h"

namespace play {

std::unique_ptr<SoundOutput> MakeDefaultSoundOutput();

}  // namespace play
