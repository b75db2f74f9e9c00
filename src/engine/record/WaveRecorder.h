#pragma once
// Records 16-bit PCM from the sound input and hands every filled buffer to its CMp3Writer, which
// encodes it and appends the MP3 bytes to the current file. One recorder serves one recording.
//
// Threads. The user-interface thread constructs, prepares, starts, stops and destroys the
// recorder and calls LastBuffer, SampleCount and WriteFailed. The capture's delivery thread runs
// WaveInCallback for each filled buffer: it encodes and writes the buffer, publishes a copy of
// it for the level meter and queues it again while capturing. Stop clears the capturing flag,
// waits (700 ms), then closes the device, which joins the delivery thread once it has written
// the last buffers and synced the file to disk; only then are the file, the encoder stream and
// the buffers released.
//
// A lost input does not end the recording. FollowInput, polled by the user-interface thread,
// closes it (what it gave is encoded, written and synced: the file ends on a whole frame and
// the encoder stream stays open) and waits: about once a second it opens the same input again
// (the chosen source only, or whatever is the default then; through the sound server only when
// the lost one was), never waiting on it, and capture goes on into the same stream as soon as
// it opens, with nothing put in for the gap. The input is always opened in the recording's
// format: the server (or SDL) converts whatever rate and channels the source has now.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "engine/TrackInfo.h"
#include "engine/record/AudioInputDevice.h"
#include "engine/record/Mp3Writer.h"
#include "engine/record/VoiceGate.h"
#include "engine/record/WaveFormat.h"
#include "engine/record/WaveIn.h"

// What a recorder is built from; the defaults are the program's own (tests replace them).
struct WaveRecorderOptions {
    // Makes the sound input; by default the program's own (MakeDefaultAudioInput) on `source`.
    std::function<std::unique_ptr<IAudioInputDevice>()> makeDevice;
    // The sound server's source to record by name; empty: the desktop's default input.
    std::string source;
    // Folders to load the encoder library from; empty: the program's default folders.
    std::vector<std::string> libraryDirs;
    // How long Stop lets the queued buffers come back before it closes the device.
    std::chrono::milliseconds stopWait{700};
    // Makes the written file durable; empty: the real syncs.
    std::shared_ptr<platform::FileSync> fileSync;
    // Voice activation: only what the gate lets through is encoded. None: everything is.
    std::optional<VoiceGateSettings> voiceGate;
    // Sound kept from before Record, in the recording's format, oldest first: encoded before
    // the first captured buffer (in whole chunks; a part chunk at its oldest end is left out).
    std::shared_ptr<const std::vector<std::int16_t>> before;
};

class CWaveRecorder {
public:
    // The capture queue holds at least this much sound, however short one buffer is: a
    // sound server may deliver what piled up before the stream started in one burst, and a
    // source with a long latency hands over two seconds at a time (about 700 kB at 44.1 kHz
    // stereo, allocated once at Prepare).
    static constexpr std::uint32_t kQueueMilliseconds = 4000;
    static constexpr int kMinBufferCount = 8;
    // Buffers of chunkBytes each that hold kQueueMilliseconds of bytesPerSecond.
    static int BufferCountFor(std::uint32_t chunkBytes, std::uint32_t bytesPerSecond);

    // Why Start failed.
    enum class StartFailure {
        None,
        Device,  // the sound input or the sound server could not be opened
        Format,  // the input refused the recording format
        SourceMissing,  // the chosen source does not exist
    };
    enum class StartProgress { Pending, Started, Failed };
    // Input dropped for want of a free buffer while capturing (not during the stop's wait,
    // where that is by design): separate runs of dropped input, and their length in seconds.
    // With them, every change of source while capturing.
    // With them, each time the input was lost: from what recording time, and for how many
    // seconds of wall-clock time until it was open again (or until the stop); an input lost
    // again before it delivered anything is the same outage.
    struct InputOutage {
        double atSeconds = 0;
        double wallSeconds = 0;
    };
    // A change of source, at a recording time in seconds.
    struct RecordedSwitch {
        std::string source;
        double seconds = 0;
    };
    struct DroppedInput {
        std::uint64_t gaps = 0;
        double seconds = 0;
        std::vector<RecordedSwitch> switches;
        std::vector<InputOutage> outages;
    };
    // How often a lost input is tried again.
    static constexpr std::chrono::milliseconds kRetryInterval{1000};

    CWaveRecorder();
    explicit CWaveRecorder(WaveRecorderOptions options);
    ~CWaveRecorder();
    CWaveRecorder(const CWaveRecorder&) = delete;
    CWaveRecorder& operator=(const CWaveRecorder&) = delete;

    // Opens the file at its end and sets the format, which allocates every capture buffer;
    // false (after the writer's message) when the file cannot be opened or the encoder stream
    // cannot be started.
    bool Prepare(const TrackInfo& track);
    bool OpenFile(const std::string& path) { return m_writer->OpenFile(path); }
    bool SeekToEnd() { return m_writer->SeekToEnd(); }
    void CloseFile() { m_writer->CloseFile(); }
    // Bitrate in bits per second, rate in Hz, stereo 0 or non-zero.
    bool SetFormat(std::int32_t bitrate, std::int32_t sampleRate, std::int32_t bitsPerSample,
                   std::int32_t stereo);
    // Opens the device, queues the buffers and starts capture; false without a message
    // (LastStartFailure tells why). Waits while the device opens in the background: for
    // callers that may wait a few seconds.
    bool Start();
    // Start in two steps, never waiting: BeginStart opens the device (or begins to) and queues
    // the buffers; while it or PollStart says Pending, PollStart is called again later (a
    // timer). Started and Failed as Start's true and false.
    StartProgress BeginStart();
    StartProgress PollStart();
    // The name of the source being recorded, once started; empty when not known (SDL).
    std::string SourceName() const { return m_waveIn ? m_waveIn->SourceName() : std::string(); }
    StartFailure LastStartFailure() const { return m_startFailure; }
    // Stops capture: clears the flag, waits, closes the device. True when the device closed.
    bool Stop();

    // The most recent full buffer, copied for the caller: nullptr until the first buffer came
    // back. The data stays valid and unchanged until the next LastBuffer call or destruction.
    // User-interface thread only.
    const std::int16_t* LastBuffer();
    // 16-bit values in one buffer, all channels together.
    int SampleCount() const { return m_sampleCount; }
    // Capture buffers allocated by SetFormat.
    int BufferCount() const { return static_cast<int>(m_headers.size()); }
    // True once appending to the file failed; the recording should be stopped.
    bool WriteFailed() const { return m_writer->WriteFailed(); }

    bool IsCapturing() const { return m_capturing.load(std::memory_order_acquire); }
    // True once the sound input is gone or has stopped delivering while capturing: the
    // recording should be stopped. User-interface thread.
    bool InputLost() const { return m_capturing.load(std::memory_order_acquire) && m_waveIn && m_waveIn->DeviceLost(); }
    // What was dropped: so far while capturing, or up to the start of Stop afterwards.
    DroppedInput Dropped() const;
    // Follows the input while capturing (see above); call it on every timer tick. True while
    // the recording waits for its lost input. User-interface thread.
    bool FollowInput();
    bool Waiting() const { return m_wait != Wait::None; }
    const WaveFormat& Format() const { return m_format; }
    // Buffers encoded so far, and inputs dropped for want of a free buffer.
    std::uint64_t ChunksEncoded() const { return m_chunksEncoded.load(std::memory_order_acquire); }
    // Seconds of input encoded so far.
    double SecondsWritten() const;
    // With voice activation: true while the input is listened to and nothing is written.
    bool Listening() const { return m_gate && m_capturing.load(std::memory_order_acquire) && !m_gate->IsOpen(); }
    // Bursts written with voice activation (0 without it).
    std::uint64_t VoiceBursts() const { return m_gate ? m_gate->Bursts() : 0; }
    std::uint64_t Overruns() const { return m_waveIn ? m_waveIn->Overruns() : 0; }

private:
    enum class Wait { None, Closed, Opening };
    using SteadyTime = std::chrono::steady_clock::time_point;
    // Makes the wave input, opens its device (or begins to) and queues every buffer.
    bool OpenInput();
    void LoseInput(SteadyTime now);
    void ReopenInput(SteadyTime now);
    void PollReopen(SteadyTime now);
    void RetryLater(SteadyTime now);
    // Seconds of sound encoded so far.
    double RecordedSeconds() const;
    // What the current wave input dropped and switched, its switches on the recording's time.
    void AddInputCounts(DroppedInput& dropped) const;
    void WaveInCallback(WaveHeader& header);  // delivery thread
    bool QueueBuffer(WaveHeader& header);
    void TakeBuffer(WaveHeader& header);      // delivery thread

    WaveRecorderOptions m_options;
    WaveFormat m_format;
    // Allocated once, by SetFormat; CWaveIn holds pointers to the headers.
    std::vector<WaveHeader> m_headers;
    std::vector<std::unique_ptr<std::int16_t[]>> m_blocks;
    std::unique_ptr<CWaveIn> m_waveIn;
    std::atomic<bool> m_capturing{false};
    std::unique_ptr<CMp3Writer> m_writer;
    int m_sampleCount = 0;
    StartFailure m_startFailure = StartFailure::None;
    std::optional<DroppedInput> m_droppedAtStop;
    std::uint32_t m_periodFrames = 0;
    // The lost input's state (user-interface thread): what the inputs closed before dropped,
    // and the outages that ended; when the input was lost and when it is tried next.
    Wait m_wait = Wait::None;
    DroppedInput m_past;
    double m_inputStartSeconds = 0;  // recording time when the current input started
    double m_lostAtSeconds = 0;
    SteadyTime m_lostAt;
    SteadyTime m_nextTry;
    // The input was opened again at m_resumedAt; its outage ends once it has delivered (more
    // than m_chunksAtResume chunks encoded).
    bool m_resumed = false;
    SteadyTime m_resumedAt;
    std::uint64_t m_chunksAtResume = 0;
    bool m_serverOnly = false;
    std::atomic<std::uint64_t> m_chunksEncoded{0};
    // Voice activation's gate (made by SetFormat) and what it calls to encode a chunk.
    std::unique_ptr<CVoiceGate> m_gate;
    CVoiceGate::Write m_encode;
    // The sound from before Record has been encoded (delivery thread only).
    bool m_beforeWritten = false;

    // The level meter's copy: the delivery thread writes m_latest under m_latestMutex, the
    // user-interface thread copies it into m_shown in LastBuffer.
    std::mutex m_latestMutex;
    std::vector<std::int16_t> m_latest;
    bool m_hasLatest = false;
    std::vector<std::int16_t> m_shown;
};
