#pragma once
// The program's own sound input, whichever the platform has: on Linux CDefaultAudioInput (the
// sound server's stream, or SDL's capture), on Windows the audio engine's capture stream,
// CWasapiAudioInput (twins: linux/AudioInputFactory.cpp and windows/AudioInputFactory.cpp).

#include <memory>
#include <string>

#include "engine/record/AudioInputDevice.h"

// source: the chosen source, empty for the default input: its name on the sound server, on
// Windows the endpoint's ID (an output's endpoint: what it plays).
std::unique_ptr<IAudioInputDevice> MakeDefaultAudioInput(const std::string& source);
