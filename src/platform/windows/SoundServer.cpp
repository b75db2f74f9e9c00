#include "platform/SoundServer.h"

// Windows records and plays through the wave functions (WaveInDevice, WaveOutDevice), which
// need no client of a sound server: the server is never wanted and every answer is "none".

namespace platform {

bool SoundServer::Wanted() { return false; }
SoundServer::State SoundServer::Connect() { return State::Failed; }
SoundServer::State SoundServer::Poll() { return State::Failed; }
std::uint64_t SoundServer::Watch() { return 0; }
std::vector<SoundSource> SoundServer::List() { return {}; }
std::string SoundServer::Default() { return {}; }

}  // namespace platform
