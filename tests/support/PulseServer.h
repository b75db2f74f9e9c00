#pragma once
// The private PulseAudio server that scripts/with-pulse runs beside a test: control of the
// server, a microphone fed at real-time pace and a recorder of what reaches the speaker.
// Tests labelled "pulse" run inside with-pulse; outside it Available() is false.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <sys/types.h>
#include <thread>
#include <vector>

namespace testing_support {

class PulseServer {
public:
    // True inside a with-pulse run (or a with-pipewire one: PipeWire's PulseAudio interface).
    static bool Available();
    // True when the server is PipeWire's (scripts/with-pipewire).
    static bool IsPipeWire();
    // Ends the server at once (as a crash would) and waits until it is gone.
    static bool Kill();
    // Starts it again and waits until it answers.
    static bool Start();
    static bool Running();
    static int Rate();
    static int Channels();
    static std::string MicFifo();
    // Adds a second microphone, a 440 Hz sine source, that hands over about two seconds of sound
    // at a time (as a source with a long latency does); returns its name for PULSE_SOURCE, or
    // an empty string when it could not be added.
    static std::string AddSlowMicrophone();
    static std::string Monitor();
    // Stops (SIGSTOP) or continues (SIGCONT) the server: a stopped one accepts connections and
    // answers nothing.
    static bool Freeze(bool frozen);
    // Loads a server module (pactl load-module NAME ARGS...); its index, or -1.
    static int LoadModule(const std::vector<std::string>& nameAndArgs);
    static bool UnloadModule(int index);
    // What `pactl ARGS...` prints.
    static std::string Pactl(const std::string& args);
};

// Lets a server stopped with PulseServer::Freeze continue whatever way the test ends.
struct Thaw {
    ~Thaw() { PulseServer::Freeze(false); }
};

// A source added to the server for a test (a module on PulseAudio, a program on PipeWire), until
// Remove (as if it were unplugged) or destruction.
class ExtraSource {
public:
    ~ExtraSource() { Remove(); }
    ExtraSource(const ExtraSource&) = delete;
    ExtraSource& operator=(const ExtraSource&) = delete;

    // True once the server lists the source.
    bool Ok() const { return m_ok; }
    bool Remove();

protected:
    ExtraSource() = default;
    // Waits (a few seconds at most) until the server lists the source.
    void WaitListed(const std::string& name);

    bool m_ok = false;
    int m_module = -1;
    pid_t m_pid = -1;
};

// Another microphone, of a sine tone of its own (amplitude about 8000 on PulseAudio's sine
// source, 8000 on PipeWire's test microphone), on either server: from construction until
// Remove (as if it were unplugged) or destruction. It hands over a tenth of a second at a time
// on PipeWire; PulseAudio's sine source delivers in longer blocks. Its rate, and on PipeWire its
// channel count, are the server's unless given (PulseAudio's sine source is always mono).
class ToneSource : public ExtraSource {
public:
    ToneSource(const std::string& name, double hz, int rate = 0, int channels = 0);
};

// Another microphone fed from a FIFO of its own (written as the microphone's is, see MicFeeder),
// on either server, from construction until Remove (as if it were unplugged) or destruction.
// A new one of the same name makes the same FIFO again.
class FifoSource : public ExtraSource {
public:
    explicit FifoSource(const std::string& name);
    static std::string FifoOf(const std::string& name);
};

// Plays raw PCM (signed 16-bit, the server's rate and channels) into the speaker with pacat,
// from construction until destruction.
class SpeakerPlayer {
public:
    explicit SpeakerPlayer(const std::string& rawPath);
    ~SpeakerPlayer();
    SpeakerPlayer(const SpeakerPlayer&) = delete;
    SpeakerPlayer& operator=(const SpeakerPlayer&) = delete;

private:
    pid_t m_pid = -1;
};

// Writes a raw file into a FIFO at bytesPerSecond with pv, which hands it over a tenth of a
// second's worth at a time: a source whose sound comes in bursts, paced by a program that is
// not ours. From construction until destruction. Each burst passes through a thread of its own
// on its way into the FIFO, which notes when it was handed over: where the source's sound
// really stands against the clock, whatever pv's start and rhythm.
class PacedWriter {
public:
    PacedWriter(const std::string& rawPath, const std::string& fifo, double bytesPerSecond, int frameBytes);
    ~PacedWriter();
    PacedWriter(const PacedWriter&) = delete;
    PacedWriter& operator=(const PacedWriter&) = delete;

    // How late (seconds on the steady clock, from an arbitrary origin shared by all writers)
    // the bursts came against the pace, as early as they came: the 5th percentile of when each
    // burst's last byte reached the FIFO less where the pace puts it, from the second second on.
    // Two writers' difference is how far apart their sound stands. NaN until it has handed
    // over more than ten bursts.
    double Place() const;

private:
    void Relay(int from, int fifo, std::size_t block);

    pid_t m_pid = -1;
    double m_bytesPerSecond;
    std::atomic<bool> m_stop{false};
    mutable std::mutex m_mutex;
    std::vector<double> m_late;  // per burst handed over: how late, seconds (guarded)
    std::thread m_relay;
};

// Writes a signal into the server's microphone FIFO at real-time pace from a thread of its own,
// 10 ms at a time, from construction until destruction. Frame n of the signal (all channels
// alike) is Sample(n). Time runs on while the FIFO has no reader (server gone): the signal then
// continues where a real microphone's would. A restarted server's new FIFO is found by itself.
// A counter instead of a tone tells every frame's own number: its first channel holds the low
// 16 bits, the second the high ones (CounterAt reads it back).
class MicFeeder {
public:
    struct Counter {};
    // Any signal, by its own time in seconds, into any FIFO (empty: the microphone's), written
    // pace times as fast as the server's rate: a device whose clock runs fast or slow.
    // With an epoch, the time given to at() counts from it instead of from the feeder's start,
    // so feeders started one after the other share one timeline.
    struct Signal {
        std::function<std::int16_t(double seconds)> at;
        std::string fifo;
        double pace = 1.0;
        std::chrono::steady_clock::time_point epoch{};
    };
    MicFeeder(double frequencyHz, int amplitude);
    explicit MicFeeder(Counter);
    explicit MicFeeder(Signal signal);
    static std::uint32_t CounterAt(const std::int16_t* frame)
    {
        return static_cast<std::uint16_t>(frame[0]) | static_cast<std::uint32_t>(static_cast<std::uint16_t>(frame[1])) << 16;
    }
    ~MicFeeder();
    MicFeeder(const MicFeeder&) = delete;
    MicFeeder& operator=(const MicFeeder&) = delete;

    std::int16_t Sample(std::uint64_t frame) const;
    // While held, writes nothing but keeps the FIFO open: the source stalls without an error.
    void Hold(bool hold) { m_hold.store(hold); }
    // Frames the server has taken so far.
    std::uint64_t FramesWritten() const { return m_written.load(); }
    // Waits until 50 ms more of the signal are in the FIFO, at most `seconds`; false if they are
    // not. Until then a microphone just made or remade (a server started again) has none of the
    // signal yet, so a recording that must hold it from its first moment starts after this.
    bool WaitUntilFlowing(double seconds = 10) const;

private:
    void Run();

    std::int16_t SampleOf(std::uint64_t frame, int channel) const;

    double m_frequency;
    int m_amplitude;
    bool m_counter = false;
    Signal m_signal;
    double m_epochOffset = 0;  // seconds from the signal's epoch to this feeder's start
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_hold{false};
    std::atomic<std::uint64_t> m_written{0};
    std::thread m_thread;
};

// Records the speaker's monitor with parecord into a raw file (signed 16-bit, the server's rate
// and channels) from construction until Finish.
class SpeakerRecorder {
public:
    explicit SpeakerRecorder(const std::string& rawPath);
    ~SpeakerRecorder();
    SpeakerRecorder(const SpeakerRecorder&) = delete;
    SpeakerRecorder& operator=(const SpeakerRecorder&) = delete;

    // Stops parecord and returns the interleaved samples it recorded.
    std::vector<std::int16_t> Finish();

private:
    std::string m_path;
    pid_t m_pid = -1;
};

// Decodes an MP3 file with the mpg123 command-line decoder (not the program's decoding code)
// into interleaved 16-bit samples at the file's own rate; channels gets the channel count.
std::vector<std::int16_t> DecodeWithMpg123(const std::string& mp3Path, int* channels = nullptr,
                                           int* rate = nullptr);

}  // namespace testing_support
