#pragma once
// The desktop's sound server as the rest of the program sees it, without libpulse's headers:
// whether the program's own client is used, the connection's state, the server's sources and
// its default one. On Linux these pass to PulseServer (which documents them); when the server is
// not wanted there, SDL does the sound. On Windows (windows/SoundServer.cpp) the "server" is the
// Windows audio engine, whose endpoints AudioEndpoints lists: capture endpoints as inputs,
// render endpoints' loopback as monitors, each named by its endpoint ID; it is always wanted.
//
// Thread: user-interface thread (List, Default, Listed and Name: any thread).

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// A source of the server: an input, or an output's monitor ("what the computer plays").
struct SoundSource {
    std::string name;         // stable across restarts: what a choice is stored by (Linux: the
                              // server's source name; Windows: the endpoint's ID)
    std::string description;  // the server's text for people
    bool monitor = false;
    std::string output;       // a monitor's output, by its description
    std::uint32_t rate = 0;   // its own format: frames per second and channels (0: unknown)
    int channels = 0;
};

class SoundServer {
public:
    enum class State {
        Idle,          // never connected
        Connecting,    // connection under way
        Ready,         // the server answers; streams can be made
        Failed,        // no server (refused, missing) or the connection broke
        NotAnswering,  // accepted the connection but did not answer in time
    };

    // True when sound is to go through the server's own client (PulseServer::Wanted).
    static bool Wanted();
    // PulseServer::Connect and PulseServer::Poll.
    static State Connect();
    static State Poll();
    // Keeps the list up to date while called now and then; the list's version
    // (PulseServer::WatchSources). Never waits.
    static std::uint64_t Watch();
    // The last list the server gave, and its default source's name; never contacts it.
    static std::vector<SoundSource> List();
    static std::string Default();
    // True once the server has given a whole list since the connection was made (the list may
    // be empty). Never contacts it.
    static bool Listed();
    // The server for people, in a message: "the sound server", "the Windows audio service".
    static const char* Name();
};

}  // namespace platform
