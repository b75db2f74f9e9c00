#include "engine/play/SoundOutputFactory.h"

#include "engine/play/DefaultSoundOutput.h"

namespace play {

std::unique_ptr<SoundOutput> MakeDefaultSoundOutput() { return std::make_unique<DefaultSoundOutput>(); }

}  // namespace play
