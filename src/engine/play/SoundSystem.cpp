#include "engine/play/SoundSystem.h"

#include <SDL.h>

namespace play {

SoundSystem::SoundSystem() : m_ready(SDL_InitSubSystem(SDL_INIT_AUDIO) == 0) {}

SoundSystem::~SoundSystem()
{
    if (m_ready)
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

}  // namespace play
