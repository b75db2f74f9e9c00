#include "platform/SoundServer.h"

#ifndef _WIN32
#include "platform/PulseServer.h"
#endif

namespace platform {

#ifndef _WIN32

bool SoundServer::Wanted() { return PulseServer::Get().Wanted(); }
SoundServer::State SoundServer::Connect() { return PulseServer::Get().Connect(); }
SoundServer::State SoundServer::Poll() { return PulseServer::Get().Poll(); }
std::uint64_t SoundServer::Watch() { return PulseServer::Get().WatchSources(); }
std::vector<SoundSource> SoundServer::List() { return PulseServer::Get().Sources(); }
std::string SoundServer::Default() { return PulseServer::Get().DefaultSource(); }

#else

bool SoundServer::Wanted() { return false; }
SoundServer::State SoundServer::Connect() { return State::Failed; }
SoundServer::State SoundServer::Poll() { return State::Failed; }
std::uint64_t SoundServer::Watch() { return 0; }
std::vector<SoundSource> SoundServer::List() { return {}; }
std::string SoundServer::Default() { return {}; }

#endif

}  // namespace platform
