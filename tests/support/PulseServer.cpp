#include "support/PulseServer.h"

#include "support/PollUntil.h"

#include <algorithm>
#include <chrono>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace testing_support {

namespace {

std::string Env(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

// Runs argv and waits for it; its exit status, or -1.
int RunAndWait(const std::vector<std::string>& args)
{
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (::posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
        return -1;
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR)
            return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::uint32_t Le32(const std::string& s, std::size_t at)
{
    return static_cast<std::uint32_t>(static_cast<unsigned char>(s[at])) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(s[at + 1])) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(s[at + 2])) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(s[at + 3])) << 24;
}

// Whether the server has a recording stream (parecord's) connected.
bool HasRecordingStream()
{
    FILE* list = ::popen("pactl list short source-outputs 2>/dev/null", "r");
    if (!list)
        return false;
    char line[256];
    const bool any = std::fgets(line, sizeof line, list) != nullptr;
    ::pclose(list);
    return any;
}

}  // namespace

bool PulseServer::Available() { return !Env("DR_PULSE_DIR").empty() && !Env("DR_PULSE_CONTROL").empty(); }
bool PulseServer::Kill() { return RunAndWait({Env("DR_PULSE_CONTROL"), "--kill"}) == 0; }
bool PulseServer::Start() { return RunAndWait({Env("DR_PULSE_CONTROL"), "--start"}) == 0; }
std::string PulseServer::AddSlowMicrophone()
{
    const std::string name = "dr_slow_mic";
    // pipewire-pulse has no sine source: with-pipewire adds a microphone that behaves alike.
    const int loaded = IsPipeWire()
                           ? RunAndWait({Env("DR_PULSE_CONTROL"), "--add-slow-microphone", name})
                           : RunAndWait({"pactl", "load-module", "module-sine-source", "source_name=" + name,
                                         "rate=" + std::to_string(Rate()), "frequency=440"});
    return loaded == 0 ? name : std::string();
}

namespace {

// Starts args[0] with args; with ownGroup, in a process group of its own, so EndAndReap ends a
// pipeline it starts (a shell's children) with it. Its standard output is output, when given.
pid_t Spawn(std::vector<std::string> args, bool ownGroup = false, int output = -1)
{
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawnattr_t attributes;
    if (::posix_spawnattr_init(&attributes) != 0)
        return -1;
    if (ownGroup) {
        ::posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
        ::posix_spawnattr_setpgroup(&attributes, 0);
    }
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    if (output >= 0)
        ::posix_spawn_file_actions_adddup2(&actions, output, STDOUT_FILENO);
    pid_t pid = -1;
    const int failed = ::posix_spawnp(&pid, argv[0], &actions, &attributes, argv.data(), environ);
    ::posix_spawn_file_actions_destroy(&actions);
    ::posix_spawnattr_destroy(&attributes);
    return failed != 0 ? -1 : pid;
}

// Ends what Spawn started (its whole group, if it has one of its own) and reaps it.
void EndAndReap(pid_t& pid, bool ownGroup = false)
{
    if (pid <= 0)
        return;
    ::kill(ownGroup ? -pid : pid, SIGTERM);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    pid = -1;
}

// Writing into a FIFO whose reader died raises SIGPIPE: the calling thread gets EPIPE instead.
void WantEpipe()
{
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
}

bool SourceListed(const std::string& name)
{
    return PulseServer::Pactl("list short sources").find("\t" + name + "\t") != std::string::npos;
}

}  // namespace

ToneSource::ToneSource(const std::string& name, double hz, int sourceRate, int channels)
{
    const std::string rate = std::to_string(sourceRate > 0 ? sourceRate : PulseServer::Rate());
    if (PulseServer::IsPipeWire()) {
        m_pid = Spawn({Env("DR_PULSE_DIR") + "/pipewire-fifo-source", "--sine", name, "Tone " + name, rate,
                       std::to_string(channels > 0 ? channels : PulseServer::Channels()), std::to_string(hz), "100"});
    } else {
        m_module = PulseServer::LoadModule({"module-sine-source", "source_name=" + name, "rate=" + rate,
                                            "frequency=" + std::to_string(static_cast<int>(hz))});
    }
    WaitListed(name);
}


std::string FifoSource::FifoOf(const std::string& name) { return Env("DR_PULSE_DIR") + "/" + name + ".fifo"; }

FifoSource::FifoSource(const std::string& name)
{
    const std::string rate = std::to_string(PulseServer::Rate());
    const std::string channels = std::to_string(PulseServer::Channels());
    if (PulseServer::IsPipeWire()) {
        m_pid = Spawn({Env("DR_PULSE_DIR") + "/pipewire-fifo-source", FifoOf(name), name, "Microphone " + name, rate,
                       channels});
    } else {
        ::unlink(FifoOf(name).c_str());  // the module makes it, and refuses an old one
        m_module = PulseServer::LoadModule({"module-pipe-source", "source_name=" + name, "file=" + FifoOf(name),
                                            "format=s16le", "rate=" + rate, "channels=" + channels});
    }
    WaitListed(name);
}

void ExtraSource::WaitListed(const std::string& name)
{
    for (int i = 0; i < 250 && (m_pid > 0 || m_module >= 0); ++i) {
        if ((m_ok = SourceListed(name)))
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

bool ExtraSource::Remove()
{
    if (m_module >= 0) {
        const bool unloaded = PulseServer::UnloadModule(m_module);
        m_module = -1;
        return unloaded;
    }
    if (m_pid > 0) {
        EndAndReap(m_pid);
        m_pid = -1;
        return true;
    }
    return false;
}

SpeakerPlayer::SpeakerPlayer(const std::string& rawPath)
{
    m_pid = Spawn({"pacat", "--playback", "--raw", "--format=s16le", "--device=" + Env("DR_PULSE_SINK"),
                   "--rate=" + std::to_string(PulseServer::Rate()),
                   "--channels=" + std::to_string(PulseServer::Channels()), rawPath});
}

SpeakerPlayer::~SpeakerPlayer() { EndAndReap(m_pid); }

PacedWriter::PacedWriter(const std::string& rawPath, const std::string& fifo, double bytesPerSecond, int frameBytes)
    : m_bytesPerSecond(bytesPerSecond)
{
    const long long rate = std::llround(bytesPerSecond);
    // pv hands over whatever its rate allows, cut anywhere; dd regroups that into whole tenths of
    // a second, so the FIFO gets whole frames (PulseAudio's pipe source asserts on a part frame).
    const long long block = std::llround(bytesPerSecond / 10 / frameBytes) * frameBytes;
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return;
    // Its reader (the server, or the helper that serves it) may still be opening it.
    int out = -1;
    for (int tries = 0; tries < 250 && out < 0; ++tries) {
        out = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (out < 0 && errno == ENXIO)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        else if (out < 0)
            break;
    }
    if (out < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        return;
    }
    // Its own process group: ending the shell alone would leave pv and dd writing for what is
    // left of the file, into the next test's recording.
    m_pid = Spawn({"sh", "-c", "pv -q -L \"$1\" -B \"$2\" \"$0\" | exec dd obs=\"$2\" status=none", rawPath,
                   std::to_string(rate), std::to_string(block)},
                  true, fds[1]);
    ::close(fds[1]);
    m_relay = std::thread([this, in = fds[0], out, block] { Relay(in, out, static_cast<std::size_t>(block)); });
}

PacedWriter::~PacedWriter()
{
    EndAndReap(m_pid, true);
    m_stop = true;
    if (m_relay.joinable())
        m_relay.join();
}

void PacedWriter::Relay(int from, int fifo, std::size_t block)
{
    WantEpipe();
    // A burst goes on whole, as dd grouped it, the moment it is complete.
    std::vector<char> burst(block);
    std::size_t have = 0;
    double bytes = 0;
    const auto waitFor = [this](int fd, short events) {
        pollfd p{fd, events, 0};
        while (!m_stop)
            if (::poll(&p, 1, 100) > 0)
                return true;
        return false;
    };
    while (waitFor(from, POLLIN)) {
        const ssize_t got = ::read(from, burst.data() + have, block - have);
        if (got <= 0)
            break;
        have += static_cast<std::size_t>(got);
        if (have < block)
            continue;
        for (std::size_t put = 0; put < have && waitFor(fifo, POLLOUT);) {
            const ssize_t n = ::write(fifo, burst.data() + put, have - put);
            if (n < 0 && errno != EAGAIN)
                break;
            put += n > 0 ? static_cast<std::size_t>(n) : 0;
        }
        bytes += static_cast<double>(have);
        have = 0;
        const double now = std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
        std::lock_guard<std::mutex> lock(m_mutex);
        m_late.push_back(now - bytes / m_bytesPerSecond);
    }
    ::close(from);
    ::close(fifo);
}

double PacedWriter::Place() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_late.size() <= 10)
        return std::nan("");
    std::vector<double> late(m_late.begin() + 10, m_late.end());
    std::sort(late.begin(), late.end());
    return late[late.size() / 20];
}

bool PulseServer::Freeze(bool frozen)
{
    std::ifstream pidFile(Env("DR_PULSE_DIR") + "/server.pid");
    pid_t pid = 0;
    if (!(pidFile >> pid) || pid <= 0)
        return false;
    return ::kill(pid, frozen ? SIGSTOP : SIGCONT) == 0;
}

std::string PulseServer::Pactl(const std::string& args)
{
    std::string out;
    FILE* pipe = ::popen(("pactl " + args + " 2>/dev/null").c_str(), "r");
    if (!pipe)
        return out;
    char buffer[4096];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        out.append(buffer, n);
    ::pclose(pipe);
    return out;
}

int PulseServer::LoadModule(const std::vector<std::string>& nameAndArgs)
{
    std::string args = "load-module";
    for (const std::string& a : nameAndArgs)
        args += " '" + a + "'";
    const std::string out = Pactl(args);
    return out.empty() ? -1 : std::atoi(out.c_str());
}

bool PulseServer::UnloadModule(int index)
{
    return RunAndWait({"pactl", "unload-module", std::to_string(index)}) == 0;
}

bool PulseServer::IsPipeWire() { return Env("DR_SOUND_SERVER") == "pipewire"; }
bool PulseServer::Running() { return RunAndWait({Env("DR_PULSE_CONTROL"), "--status"}) == 0; }
int PulseServer::Rate() { return std::atoi(Env("DR_PULSE_RATE").c_str()); }
int PulseServer::Channels() { return std::atoi(Env("DR_PULSE_CHANNELS").c_str()); }
std::string PulseServer::MicFifo() { return Env("DR_PULSE_MIC_FIFO"); }
std::string PulseServer::Monitor() { return Env("DR_PULSE_MONITOR"); }

MicFeeder::MicFeeder(double frequencyHz, int amplitude)
    : m_frequency(frequencyHz), m_amplitude(amplitude), m_thread([this] { Run(); })
{
}

MicFeeder::MicFeeder(Counter) : m_frequency(0), m_amplitude(0), m_counter(true), m_thread([this] { Run(); }) {}

MicFeeder::MicFeeder(Signal signal)
    : m_frequency(0), m_amplitude(0), m_signal(std::move(signal)), m_thread([this] { Run(); })
{
}

std::int16_t MicFeeder::SampleOf(std::uint64_t frame, int channel) const
{
    if (m_signal.at)
        return m_signal.at(m_epochOffset + static_cast<double>(frame) / (PulseServer::Rate() * m_signal.pace));
    if (!m_counter)
        return Sample(frame);
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(channel == 0 ? frame : frame >> 16));
}

MicFeeder::~MicFeeder()
{
    m_stop.store(true);
    m_thread.join();
}

bool MicFeeder::WaitUntilFlowing(double seconds) const
{
    const std::uint64_t frames = m_written.load() + static_cast<std::uint64_t>(PulseServer::Rate() / 20);
    return PollUntil([&] { return m_written.load() >= frames; }, seconds);
}

std::int16_t MicFeeder::Sample(std::uint64_t frame) const
{
    const double t = static_cast<double>(frame) / PulseServer::Rate();
    return static_cast<std::int16_t>(std::lround(m_amplitude * std::sin(2.0 * M_PI * m_frequency * t)));
}

void MicFeeder::Run()
{
    WantEpipe();

    const int rate = PulseServer::Rate();
    const int channels = PulseServer::Channels();
    const std::string fifo = m_signal.fifo.empty() ? PulseServer::MicFifo() : m_signal.fifo;
    const double pace = m_signal.at ? m_signal.pace : 1.0;
    const std::size_t chunkFrames = static_cast<std::size_t>(rate) / 100;
    std::vector<std::int16_t> chunk(chunkFrames * static_cast<std::size_t>(channels));
    // A FIFO source reads only while something records from it: what an earlier feeder wrote
    // after the last recording is still in the FIFO and would come first, seconds old, before
    // this feeder's signal. A real microphone has no such past: it is thrown away.
    if (const int stale = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC); stale >= 0) {
        char buffer[16384];
        while (::read(stale, buffer, sizeof buffer) > 0) {
        }
        ::close(stale);
    }
    int fd = -1;
    std::uint64_t frame = 0;
    const auto start = std::chrono::steady_clock::now();
    if (m_signal.epoch != std::chrono::steady_clock::time_point{})
        m_epochOffset = std::chrono::duration<double>(start - m_signal.epoch).count();
    while (!m_stop.load()) {
        const auto due =
            start + std::chrono::microseconds(static_cast<std::int64_t>(static_cast<double>(frame) * 1e6 / (rate * pace)));
        std::this_thread::sleep_until(due);
        if (fd < 0)
            fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);  // ENXIO: no reader yet
        if (fd >= 0 && !m_hold.load()) {
            for (std::size_t i = 0; i < chunkFrames; ++i)
                for (int c = 0; c < channels; ++c)
                    chunk[i * static_cast<std::size_t>(channels) + static_cast<std::size_t>(c)] = SampleOf(frame + i, c);
            const auto* bytes = reinterpret_cast<const char*>(chunk.data());
            std::size_t left = chunk.size() * sizeof(std::int16_t);
            // The server reads far more often than every 10 ms; a full pipe means it is gone or
            // stopped, and waiting for room longer than a chunk would only drift.
            const auto giveUp = std::chrono::steady_clock::now() + std::chrono::milliseconds(200);
            while (left > 0 && !m_stop.load()) {
                const ssize_t n = ::write(fd, bytes, left);
                if (n > 0) {
                    bytes += n;
                    left -= static_cast<std::size_t>(n);
                    continue;
                }
                if (n < 0 && errno == EAGAIN && std::chrono::steady_clock::now() < giveUp) {
                    pollfd p{fd, POLLOUT, 0};
                    ::poll(&p, 1, 10);
                    continue;
                }
                ::close(fd);  // EPIPE: the server is gone; a new one makes a new FIFO
                fd = -1;
                break;
            }
            if (left == 0)
                m_written.fetch_add(chunkFrames);
        } else {
            // Also a stopped stream of a microphone: reopen the FIFO next time if it vanished.
            struct stat st {};
            if (fd >= 0 && ::stat(fifo.c_str(), &st) != 0) {
                ::close(fd);
                fd = -1;
            }
        }
        frame += chunkFrames;
    }
    if (fd >= 0)
        ::close(fd);
}

SpeakerRecorder::SpeakerRecorder(const std::string& rawPath) : m_path(rawPath)
{
    const std::string device = "--device=" + PulseServer::Monitor();
    const std::string rate = "--rate=" + std::to_string(PulseServer::Rate());
    const std::string channels = "--channels=" + std::to_string(PulseServer::Channels());
    // Small fragments, so what reached the speaker is in the file soon after.
    std::vector<std::string> args = {"parecord", "--raw", "--format=s16le", device, rate, channels,
                                     "--latency-msec=20", m_path};
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    if (::posix_spawnp(&m_pid, "parecord", nullptr, nullptr, argv.data(), environ) != 0) {
        m_pid = -1;
        return;
    }
    // Recording only once the server lists parecord's stream, so nothing played is missed.
    for (int i = 0; i < 250 && !HasRecordingStream(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

SpeakerRecorder::~SpeakerRecorder() { Finish(); }

std::vector<std::int16_t> SpeakerRecorder::Finish()
{
    if (m_pid > 0) {
        ::kill(m_pid, SIGINT);
        int status = 0;
        ::waitpid(m_pid, &status, 0);
        m_pid = -1;
    }
    std::ifstream in(m_path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::int16_t> samples(bytes.size() / 2);
    std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
    return samples;
}

std::vector<std::int16_t> DecodeWithMpg123(const std::string& mp3Path, int* channels, int* rate)
{
    const std::string wav = mp3Path + ".decoded.wav";
    if (RunAndWait({"mpg123", "-q", "-w", wav, mp3Path}) != 0)
        return {};
    std::ifstream in(wav, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::remove(wav.c_str());
    std::vector<std::int16_t> samples;
    for (std::size_t at = 12; at + 8 <= bytes.size();) {
        const std::string id = bytes.substr(at, 4);
        std::uint32_t size = Le32(bytes, at + 4);
        if (id == "fmt " && at + 16 <= bytes.size()) {
            if (channels)
                *channels = static_cast<unsigned char>(bytes[at + 10]);
            if (rate)
                *rate = static_cast<int>(Le32(bytes, at + 12));
        } else if (id == "data") {
            // mpg123 writing to a file fixes the size at the end; be lenient with the rest.
            const std::size_t avail = bytes.size() - (at + 8);
            const std::size_t n = std::min<std::size_t>(size, avail) / 2;
            samples.resize(n);
            std::memcpy(samples.data(), bytes.data() + at + 8, n * 2);
            break;
        }
        at += 8 + size + (size & 1);
    }
    return samples;
}

}  // namespace testing_support
