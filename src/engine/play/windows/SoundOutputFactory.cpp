#include "engine/play/SoundOutputFactory.h"

#include "engine/play/windows/WaveOutSoundOutput.h"

namespace play {

std::unique_ptr<SoundOutput> MakeDefaultSoundOutput() { return std::make_unique<WaveOutSoundOutput>(); }

}  // namespace play
