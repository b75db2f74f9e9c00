#pragma once
// The program's own sound input, whichever the platform has: on Linux CDefaultAudioInput (the
// sound server's stream, or SDL's capture), on Windows the wave-input functions
// (twins: linux/AudioInputFactory.cpp and windows/AudioInputFactory.cpp).

#include <memory>
#include <string>

#include "engine/record/AudioInputDevice.h"

// source: the chosen source's name on the sound server, empty for the default input. Windows
// always records the default input (the wave mapper's).
std::unique_ptr<IAudioInputDevice> MakeDefaultAudioInput(const std::string& source);
