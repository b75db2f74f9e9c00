#include "platform/SoundServer.h"

#include "platform/pulse/PulseServer.h"

namespace platform {

bool SoundServer::Wanted() { return PulseServer::Get().Wanted(); }
SoundServer::State SoundServer::Connect() { return PulseServer::Get().Connect(); }
SoundServer::State SoundServer::Poll() { return PulseServer::Get().Poll(); }
std::uint64_t SoundServer::Watch() { return PulseServer::Get().WatchSources(); }
std::vector<SoundSource> SoundServer::List() { return PulseServer::Get().Sources(); }
std::string SoundServer::Default() { return PulseServer::Get().DefaultSource(); }
bool SoundServer::Listed() { return PulseServer::Get().Listed(); }
const char* SoundServer::Name() { return "the sound server"; }

}  // namespace platform
