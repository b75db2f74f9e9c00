#pragma once
// Plays through SDL's disk driver (chosen by the test runner): every test gets its own output
// file and a short write delay, so sound runs many times faster than real time. Must be set
// up before the player is constructed.

#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "engine/TrackInfo.h"
#include "engine/play/Mp3Fixtures.h"
#include "engine/play/Mp3Player.h"
#include "platform/sdl/SdlAudio.h"
#include "support/TempDir.h"
#include "support/PollUntil.h"

namespace play_test {

class DiskOutput {
public:
    DiskOutput()
        : m_file("SDL_DISKAUDIOFILE", m_dir.File("out.raw")), m_delay("SDL_DISKAUDIODELAY", "3")
    {
    }
    std::string File(const std::string& name) const { return m_dir.File(name); }
    std::string Write(const std::string& name, const std::string& bytes) const
    {
        testing_support::WriteWholeFile(File(name), bytes);
        return File(name);
    }
    // What the output has played, once the player is gone (and its device closed, which
    // happens in the background).
    std::vector<std::int16_t> Played() const
    {
        platform::SdlAudio::Get().WaitForClosed();
        return ReadSamples(m_dir.File("out.raw"));
    }
    bool DeviceFileExists() const { return ::access(m_dir.File("out.raw").c_str(), F_OK) == 0; }

private:
    testing_support::TempDir m_dir;
    testing_support::ScopedEnv m_file;
    testing_support::ScopedEnv m_delay;
};

// The panel's record before a load: the configured recording format.
inline TrackInfo ConfiguredTrack(const std::string& path, std::uint32_t startSeconds = 0)
{
    TrackInfo t;
    t.path = path;
    t.startSeconds = startSeconds;
    t.bitrate = 96000;
    t.sampleRate = 32000;
    t.bitsPerSample = 16;
    t.channels = 2;
    return t;
}

// Polls until pred holds or a generous time has passed; returns pred's last value.
template <typename Pred>
bool WaitFor(Pred pred, double seconds = 30.0)
{
    return testing_support::PollUntil(pred, seconds, std::chrono::milliseconds(2));
}

// Plays and waits until the position has come to rest at the length.
inline bool PlayToEnd(CMp3Player& player)
{
    player.Play();
    return WaitFor([&] { return player.GetPosition() >= player.GetLength(); });
}

// The sample frame a seek to seconds lands on.
inline std::int64_t FrameOf(float seconds, int rate) { return std::llround(static_cast<double>(seconds) * rate); }

// The decode from the start, from a sample frame on, without zeros.
inline std::vector<std::int16_t> ExpectedFrom(const std::vector<std::int16_t>& whole, std::int64_t frame, int channels)
{
    return WithoutZeros(std::vector<std::int16_t>(whole.begin() + frame * channels, whole.end()));
}

}  // namespace play_test
