#include "platform/SoundServer.h"

#include "platform/windows/AudioEndpoints.h"

// Windows' audio engine stands for the sound server: its endpoints are the sources.

namespace platform {

bool SoundServer::Wanted() { return true; }
SoundServer::State SoundServer::Connect() { return AudioEndpoints::Get().Connect(); }
SoundServer::State SoundServer::Poll() { return AudioEndpoints::Get().Poll(); }
std::uint64_t SoundServer::Watch() { return AudioEndpoints::Get().Watch(); }
std::vector<SoundSource> SoundServer::List() { return AudioEndpoints::Get().Sources(); }
std::string SoundServer::Default() { return AudioEndpoints::Get().DefaultSource(); }
bool SoundServer::Listed() { return AudioEndpoints::Get().Listed(); }
const char* SoundServer::Name() { return "the Windows audio service"; }

}  // namespace platform
