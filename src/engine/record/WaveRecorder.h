#pragma once
// Records 16-bit PCM from the sound input and has its CMp3Writer encode it and append the MP3
// bytes to the current file. One recorder serves one recording.
//
// The input (CCaptureInput) hands over buffers of a tenth of a second; the delivery thread
// cuts them into encoder chunks (a chunk may span two buffers, so nothing is lost at their
// seams), lets voice activation choose what is written, encodes and appends, and publishes the
// latest chunk for the level meter. A lost input does not end the recording: the input waits
// and comes back into the same buffers and the same encoder stream (see CCaptureInput).
//
// A recording may take over the input that was kept open before Record (CKeepBeforeInput), as
// it runs: the seconds it kept are written first and the recording goes on with the very next
// sample, none lost or doubled.
//
// With a second source the recording starts only once both run: the second source is opened
// first, and the first (or the kept input, with its seconds) delivers to the recording only
// once the second has delivered its first sound. A start that fails on the way writes nothing.
//
// Threads. The user-interface thread constructs, prepares, starts, stops and destroys the
// recorder and calls the queries. Stop clears the capturing flag, waits (700 ms) so the queued
// buffers come back, and then only asks for the end: the delivery thread encodes what is left
// and writes it (Written), the writer's syncer puts it on the disk and closes the file
// (Finished). Neither is waited for; whoever must not wait keeps the stopped recorder until
// Finished (CPendingWrites). A second source runs on a little longer, off the user-interface
// thread, until the mix has its last block (CSourceMixer::AwaitSecond); it is closed with the
// recorder. The destructor waits for all of it.

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
#include "engine/record/CaptureInput.h"
#include "engine/record/InputTimeline.h"
#include "engine/record/Mp3Writer.h"
#include "engine/record/SecondSource.h"
#include "engine/record/SourceMixer.h"
#include "engine/record/VoiceGate.h"
#include "engine/record/WaveFormat.h"
#include "engine/record/WaveRecorderOptions.h"

// A recording split into files (see CMp3Writer): one file of it, and where it begins in
// recording time (the times of CWaveRecorder::Dropped).
struct RecordingPiece {
    std::string path;
    double startSeconds = 0;
};

class CWaveRecorder {
public:
    using StartFailure = CCaptureInput::Failure;
    using StartProgress = CCaptureInput::Progress;
    // A change of source, at a recording time in seconds.
    struct RecordedSwitch {
        std::string source;
        double seconds = 0;
    };
    // The input was away from a recording time, for seconds of wall-clock time.
    struct InputOutage {
        double atSeconds = 0;
        double wallSeconds = 0;
    };
    // Input dropped while capturing (not during the stop's wait, where that is by design):
    // separate runs, and their length in seconds of input; every change of source and every
    // outage. Times are recording times: where that moment lies in the file (with voice
    // activation, where the file goes on after it when it was not written).
    struct DroppedInput {
        std::uint64_t gaps = 0;
        double seconds = 0;
        // Each gap: where it lies (recording time) and how long it was (seconds of input).
        std::vector<InputOutage> gapList;
        std::vector<RecordedSwitch> switches;
        std::vector<InputOutage> outages;
        // The seconds kept before Record could not be joined to the recording as it ran.
        bool keptLeftOut = false;
        // The second source's outages, and its changes of source (recording times).
        std::vector<InputOutage> secondOutages;
    };

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
    // Bitrate in bits per second, rate in Hz, stereo 0 or non-zero.
    bool SetFormat(std::int32_t bitrate, std::int32_t sampleRate, std::int32_t bitsPerSample,
                   std::int32_t stereo);
    // Opens the input and starts capture; false without a message (LastStartFailure tells
    // why). Waits while the input opens in the background: for callers that may wait.
    bool Start();
    // Start in two steps, never waiting: BeginStart opens the input (or begins to); while it or
    // PollStart says Pending, PollStart is called again later (a timer).
    StartProgress BeginStart();
    StartProgress PollStart();
    StartFailure LastStartFailure() const;
    // The start failed for the second source (the first one opened).
    bool SecondSourceFailed() const;
    // The name of the source being recorded, once started; empty when not known (SDL).
    std::string SourceName() const { return m_input ? m_input->SourceName() : std::string(); }
    // The second source's name, and whether there is one.
    std::string SecondSourceName() const { return m_second ? m_second->SourceName() : std::string(); }
    bool HasSecondSource() const { return m_second != nullptr; }
    // The second source's clock against the first's (+0.005: 0.5 % fast) and how far off it
    // stood at the last block (seconds); see CSecondSource.
    double SecondSourceCorrection() const { return m_second ? m_second->Correction() : 0.0; }
    double SecondSourceOffset() const { return m_second ? m_second->Offset() : 0.0; }
    // Stops capture: clears the flag, waits, and asks the input to end and the writer to finish
    // (see above). True when it was capturing.
    bool Stop();
    // Everything captured has been encoded and written (handed to the system), after Stop.
    bool Written() const { return m_written.load(std::memory_order_acquire); }
    // Written, synced for the last time and closed.
    bool Finished() const { return Written() && m_writer->WritingFinished(); }
    // The file being written: the first one, or after a split the latest.
    std::string Path() const;

    // The most recent encoder chunk, copied for the caller: nullptr until the first came. The
    // data stays valid and unchanged until the next LastBuffer call or destruction.
    // User-interface thread only.
    const std::int16_t* LastBuffer();
    // 16-bit values in one encoder chunk (all channels): what LastBuffer holds.
    int SampleCount() const { return m_sampleCount; }
    // Capture buffers allocated by SetFormat, and the frames each holds.
    int BufferCount() const { return m_input ? m_input->BufferCount() : 0; }
    std::uint32_t BufferFrames() const { return m_input ? m_input->BufferFrames() : 0; }
    // True once appending to the file (or putting it on the disk) failed; the recording should
    // be stopped. Also after Stop, when the last sync failed.
    bool WriteFailed() const { return m_writer->WriteFailed(); }

    // Started (every source runs and delivers to the recording) and not yet stopped.
    bool IsCapturing() const { return m_started.load(std::memory_order_acquire) && m_input && m_input->IsCapturing(); }
    // What was dropped: so far while capturing, or up to the start of Stop afterwards.
    DroppedInput Dropped() const;

    using Piece = RecordingPiece;
    // The recording can go on into a next file (the encoder library can end a file gaplessly).
    bool CanSplit() const { return m_writer->CanSplit(); }
    // Goes on into path (an existing empty file) from the next encoder chunk on; with voice
    // activation, from the quiet after the burst being written, or a minute of input later at
    // the latest. False, without a message, when path cannot be opened for writing.
    // User-interface thread, while recording.
    bool SplitInto(const std::string& path);
    // A next file was given and is not yet taken.
    bool SplitPending() const { return m_writer->NextFilePending(); }
    // The files written so far, the first one first (the current one last).
    std::vector<Piece> Pieces() const;
    // MP3 bytes in the current file from this recording, seconds of input taken since it began
    // (with voice activation, also what was only listened to), and seconds written into it.
    std::uint64_t PieceBytes() const { return m_writer->PieceBytes(); }
    double PieceSeconds() const { return Seconds(m_pieceFrames.load(std::memory_order_acquire)); }
    double PieceSecondsWritten() const
    {
        return Seconds(m_framesWritten.load(std::memory_order_acquire) - m_pieceWrittenFrom.load(std::memory_order_acquire));
    }
    // The file a failed write or sync was for; empty while none failed.
    std::string FailedPath() const { return m_writer->FailedPath(); }
    // Follows the input while capturing; call it on every timer tick. True while the recording
    // waits for its lost input. User-interface thread.
    bool FollowInput();
    bool Waiting() const { return m_input && m_input->Waiting(); }
    const WaveFormat& Format() const { return m_format; }
    // Encoder chunks written so far.
    std::uint64_t ChunksEncoded() const { return m_chunksEncoded.load(std::memory_order_acquire); }
    // Seconds of sound written so far.
    double SecondsWritten() const;
    // With voice activation: true while the input is listened to and nothing is written.
    bool Listening() const { return m_gate && IsCapturing() && !m_gate->IsOpen(); }
    // Bursts written with voice activation (0 without it).
    std::uint64_t VoiceBursts() const { return m_gate ? m_gate->Bursts() : 0; }
    std::uint64_t Overruns() const { return m_input ? m_input->Overruns() : 0; }

private:
    void OnBuffer(WaveHeader& header);                // delivery thread
    StartProgress BeginFirst();
    CSourceMixer::Out MixedOut();
    void TakeSamples(const std::int16_t* samples, std::size_t count, std::uint64_t at);  // delivery thread
    void OnChunk(const std::int16_t* chunk, std::uint64_t end);  // delivery thread
    void Encode(const std::int16_t* chunk);           // delivery thread
    void SwitchIfDue();                               // delivery thread
    void WriteKept();                                 // delivery thread
    double Seconds(std::uint64_t frames) const;

    WaveRecorderOptions m_options;
    WaveFormat m_format;
    std::string m_path;
    std::unique_ptr<CMp3Writer> m_writer;
    std::unique_ptr<CCaptureInput> m_input;
    std::unique_ptr<CSecondSource> m_second;
    std::unique_ptr<CSourceMixer> m_mixer;
    // Where the first source's timeline stood when each of the second source's outages began.
    std::vector<std::uint64_t> m_secondLostAt;
    int m_sampleCount = 0;
    int m_chunkFrames = 0;
    std::atomic<bool> m_keptLeftOut{false};
    // Where the recording began on its input's timeline (a taken-over input began before).
    std::atomic<std::uint64_t> m_recordFrom{0};
    std::optional<DroppedInput> m_droppedAtStop;
    bool m_stopped = false;
    // Starting: which inputs have begun (the second first), and whether all run.
    bool m_secondBegun = false;
    bool m_firstBegun = false;
    std::atomic<bool> m_started{false};
    std::atomic<bool> m_written{false};

    // Delivery thread: the encoder chunk being filled, the timeline's start, the kept seconds.
    std::vector<std::int16_t> m_chunk;
    std::size_t m_chunkFill = 0;
    bool m_timelineStarted = false;
    std::uint64_t m_keptFrames = 0;
    bool m_keptWritten = false;
    // A kept chunk laid out as the mix does (two sources), made by SetFormat.
    std::vector<std::int16_t> m_keptLaidOut;
    std::atomic<std::uint64_t> m_chunksEncoded{0};
    std::atomic<std::uint64_t> m_framesWritten{0};
    // The current file of a split recording: input frames taken since it began, where it
    // begins in m_framesWritten; how many chunks a pending next file has waited for a quiet.
    std::atomic<std::uint64_t> m_pieceFrames{0};
    std::atomic<std::uint64_t> m_pieceWrittenFrom{0};
    std::uint64_t m_splitWaitChunks = 0;
    // Guards the list, and the switch against Stop: once stopping, no file is switched to, so
    // the list is final when Stop returns.
    mutable std::mutex m_piecesMutex;
    std::vector<Piece> m_pieces;
    bool m_noMoreSplits = false;
    CInputTimeline m_timeline;
    // Voice activation's gate (made by SetFormat).
    std::unique_ptr<CVoiceGate> m_gate;
    CVoiceGate::Write m_encode;

    // The level meter's copy: the delivery thread writes m_latest under m_latestMutex, the
    // user-interface thread copies it into m_shown in LastBuffer.
    std::mutex m_latestMutex;
    std::vector<std::int16_t> m_latest;
    bool m_hasLatest = false;
    std::vector<std::int16_t> m_shown;
};
