// How far the playback position the program shows is from the sound at the output: plays a
// file of clicks through CMp3Player on the sound server that PULSE_SERVER names (inside
// scripts/with-pulse or scripts/with-pipewire), while `parecord` records the speaker's
// monitor ($DR_PULSE_MONITOR) with a 5 ms latency. For each click it prints
//
//   click <n> <offset ms>
//
// where the offset is the wall-clock time the position passed the click's first sample minus
// the time that sample reached the monitor (positive: the display trails the sound). The
// click's place in the file is taken from the program's own decode, so the encoder's delay does
// not count. The monitor's own delivery (at most its 5 ms latency and one server cycle) makes
// the sound's time late by that much, so the true offset is up to that much larger.
// Also prints "start <ms>" (Play to the first click at the monitor minus its place in the file).
//
// Usage: play_position_probe SCRATCH_DIR   (the sound output is the program's usual choice:
// its own client unless SDL_AUDIODRIVER is set)

#include <fcntl.h>
#include <lame/lame.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/TrackInfo.h"
#include "engine/play/Mp3Decoder.h"
#include "engine/play/Mp3Player.h"
#include "platform/MessageBox.h"
#include "platform/UniqueFd.h"

namespace {

constexpr int kRate = 44100;
constexpr int kChannels = 2;
constexpr int kClicks = 6;
constexpr int kThreshold = 4000;

using Clock = std::chrono::steady_clock;
double Ms(Clock::time_point t, Clock::time_point origin)
{
    return std::chrono::duration<double, std::milli>(t - origin).count();
}

// Eight seconds of silence with a 10 ms 2 kHz burst at each whole second from 1 on.
std::string ClickFile(const std::string& path)
{
    const int total = 8 * kRate;
    std::vector<short> pcm(static_cast<std::size_t>(total * kChannels), 0);
    for (int k = 1; k <= kClicks; ++k)
        for (int i = 0; i < kRate / 100; ++i)
            for (int c = 0; c < kChannels; ++c)
                pcm[static_cast<std::size_t>((k * kRate + i) * kChannels + c)] =
                    static_cast<short>(16000 * std::sin(2 * M_PI * 2000.0 * i / kRate));
    lame_global_flags* g = lame_init();
    lame_set_in_samplerate(g, kRate);
    lame_set_out_samplerate(g, kRate);
    lame_set_num_channels(g, kChannels);
    lame_set_VBR(g, vbr_off);
    lame_set_brate(g, 128);
    lame_set_bWriteVbrTag(g, 0);
    lame_init_params(g);
    std::vector<unsigned char> out(static_cast<std::size_t>(total) * 2 + 7200);
    int n = lame_encode_buffer_interleaved(g, pcm.data(), total, out.data(), static_cast<int>(out.size()));
    std::string mp3(reinterpret_cast<const char*>(out.data()), static_cast<std::size_t>(n));
    n = lame_encode_flush(g, out.data(), static_cast<int>(out.size()));
    mp3.append(reinterpret_cast<const char*>(out.data()), static_cast<std::size_t>(n));
    lame_close(g);
    std::ofstream(path, std::ios::binary) << mp3;
    return path;
}

// Where each click begins in the program's own decode of the file, in frames.
std::vector<std::int64_t> ClickFrames(const std::string& path)
{
    platform::UniqueFd fd(::open(path.c_str(), O_RDONLY));
    struct stat st {};
    ::fstat(fd.Get(), &st);
    play::Mp3Decoder decoder;
    std::vector<std::int64_t> frames;
    if (!decoder.Open(fd.Get(), st.st_size))
        return frames;
    std::vector<std::int16_t> block(4096 * kChannels);
    std::int64_t at = 0;
    std::int64_t quietUntil = 0;
    while (std::size_t got = decoder.Read(block.data(), 4096)) {
        for (std::size_t i = 0; i < got; ++i, ++at)
            if (at >= quietUntil && std::abs(block[i * kChannels]) > kThreshold) {
                frames.push_back(at);
                quietUntil = at + kRate / 2;
            }
    }
    return frames;
}

// Records the monitor with parecord and notes when each click's first sample arrived.
class MonitorClicks {
public:
    MonitorClicks()
    {
        int pipeFds[2];
        if (::pipe(pipeFds) != 0)
            return;
        m_pid = ::fork();
        if (m_pid == 0) {
            ::dup2(pipeFds[1], 1);
            ::close(pipeFds[0]);
            ::close(pipeFds[1]);
            const char* monitor = std::getenv("DR_PULSE_MONITOR");
            ::execlp("parecord", "parecord", "--raw", "--latency-msec=5", "--format=s16le", "--rate=44100",
                     "--channels=2", "-d", monitor ? monitor : "@DEFAULT_MONITOR@", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(pipeFds[1]);
        m_fd = pipeFds[0];
        m_thread = std::thread([this] { Run(); });
    }
    ~MonitorClicks()
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            ::waitpid(m_pid, nullptr, 0);
        }
        if (m_thread.joinable())
            m_thread.join();
        if (m_fd >= 0)
            ::close(m_fd);
    }
    std::vector<Clock::time_point> Times()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_times;
    }

private:
    void Run()
    {
        std::vector<std::int16_t> buffer(1024 * kChannels);
        std::int64_t total = 0;
        std::int64_t quietUntil = 0;
        for (;;) {
            const ssize_t n = ::read(m_fd, buffer.data(), buffer.size() * sizeof(std::int16_t));
            const Clock::time_point now = Clock::now();
            if (n <= 0)
                return;
            const std::int64_t frames = n / static_cast<ssize_t>(sizeof(std::int16_t) * kChannels);
            for (std::int64_t i = 0; i < frames; ++i)
                if (total + i >= quietUntil && std::abs(buffer[static_cast<std::size_t>(i * kChannels)]) > kThreshold) {
                    // The sample arrived (frames - i) frames before the end of this read.
                    const auto before = std::chrono::duration_cast<Clock::duration>(
                        std::chrono::duration<double>(static_cast<double>(frames - i) / kRate));
                    std::lock_guard<std::mutex> lock(m_mutex);
                    m_times.push_back(now - before);
                    quietUntil = total + i + kRate / 2;
                }
            total += frames;
        }
    }

    pid_t m_pid = -1;
    int m_fd = -1;
    std::thread m_thread;
    std::mutex m_mutex;
    std::vector<Clock::time_point> m_times;
};

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s SCRATCH_DIR\n", argv[0]);
        return 2;
    }
    platform::SetMessageSink([](const std::string& text, platform::MessageIcon) {
        std::fprintf(stderr, "message: %s\n", text.c_str());
    });
    const std::string path = ClickFile(std::string(argv[1]) + "/clicks.mp3");
    const std::vector<std::int64_t> clicks = ClickFrames(path);
    if (clicks.size() != kClicks) {
        std::fprintf(stderr, "found %zu clicks in the decode\n", clicks.size());
        return 1;
    }
    MonitorClicks monitor;
    std::this_thread::sleep_for(std::chrono::milliseconds(500));  // parecord is connected

    TrackInfo track;
    track.path = path;
    track.bitrate = 128000;
    track.sampleRate = kRate;
    track.bitsPerSample = 16;
    track.channels = kChannels;
    CMp3Player player(track);
    if (!player.Load(track))
        return 1;
    // Polled as often as the panel could: when the position passes each click.
    std::vector<Clock::time_point> shown;
    const Clock::time_point pressed = Clock::now();
    if (!player.Play())
        return 1;
    while (shown.size() < clicks.size() && Clock::now() - pressed < std::chrono::seconds(15)) {
        const double position = player.GetPosition();
        while (shown.size() < clicks.size() && position * kRate >= static_cast<double>(clicks[shown.size()]))
            shown.push_back(Clock::now());
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    player.Pause();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const std::vector<Clock::time_point> heard = monitor.Times();
    if (heard.size() < shown.size() || shown.empty()) {
        std::fprintf(stderr, "the monitor heard %zu clicks, the position passed %zu\n", heard.size(), shown.size());
        return 1;
    }
    std::printf("start %.1f\n", Ms(heard[0], pressed) - 1000.0 * static_cast<double>(clicks[0]) / kRate);
    for (std::size_t k = 0; k < shown.size(); ++k)
        std::printf("click %zu %.1f\n", k + 1, Ms(shown[k], heard[k]));
    return 0;
}
