#include "engine/play/SoundOutputFactory.h"

#include "engine/play/linux/DefaultSoundOutput.h"

namespace play {

std::unique_ptr<SoundOutput> MakeDefaultSoundOutput() { return std::make_unique<DefaultSoundOutput>(); }

}  // namespace play
