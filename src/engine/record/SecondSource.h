#pragma once
// The second source of a recording (what the computer plays, say, beside the microphone): an
// input of its own, in its own format, on its own clock. What it delivers waits in a ring of
// fixed size; the recording, which runs on the first source's clock, asks for the sound the
// second source captured over the same stretch of time and gets it resampled onto its own rate.
//
// Kept in step: both inputs' deliveries are followed by delay-locked loops (CStreamClock), so
// the moment a frame was captured is known for either source, whatever block sizes they deliver
// in; with the servers' latencies that lines up the two sources from the start. Where the second
// source should stand wanders by a few milliseconds as the two lines are measured afresh, so
// the resampling ratio does not chase it, as adaptive loopbacks do not chase their fill level:
// the rate the two lines tell is followed slowly, and a correction on top of it, bounded to
// what nobody hears, takes up how far off the converter stands; only an offset beyond what the
// lines' wander stays within is taken up faster (a real drift the lines had not yet measured).
// Readings far off for a moment, of either kind, are not followed, and a line that moves its
// place while both sources go on is held: the server delivers a source later or sooner than
// before, which says nothing of when its sound was captured. Only a large disagreement
// (the start, the second source lost or stalled) moves it to the right place at once, as a
// jump, with silence where it has nothing.
//
// A lost second source is followed as the first one is (CCaptureInput): its part stays silent
// until it is back.
//
// Threads. Begin, Poll, Follow, Finish and the queries on the user-interface thread; Render on
// the first source's delivery thread; the second input's buffers come on its own delivery
// thread and only go into the ring.

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "engine/record/CaptureInput.h"
#include "engine/record/DriftResampler.h"
#include "engine/record/StreamClock.h"

class CSecondSource {
public:
    // Seconds of the second source's sound the ring holds: more than any input delivers at once.
    static constexpr double kRingSeconds = 4.0;
    // The most the ratio moves off the nominal one, whatever the clocks tell; beyond
    // kJumpSeconds off its place the second source jumps there instead (at the start, after a
    // loss, a stall or a burst).
    static constexpr double kMaxCorrection = 0.02;
    static constexpr double kJumpSeconds = 0.02;
    // The rate (what the two clocks' lines tell) is followed over kRateSeconds, or over
    // kQuickRateSeconds while it lies more than kRateStep off (the lines have just measured a
    // real drift). The correction on top of it, from how far (seconds) the converter stands off
    // its place: kTrim per second of offset, at most kMaxTrim (never heard); beyond
    // kSteadySeconds, which the lines' wander stays within, kCatchUp per second of the offset
    // beyond it. Both follow the middle of their latest kReadings readings.
    static constexpr double kRateSeconds = 2.0;
    static constexpr double kQuickRateSeconds = 0.3;
    static constexpr double kRateStep = 0.003;
    static constexpr double kTrim = 0.1;
    static constexpr double kMaxTrim = 0.0005;
    // Where either source comes in bursts (see kUnevenSteady), its line goes on moving towards
    // where the sound is for seconds after settling, as its slope is measured over a growing
    // window; a converter that trailed it stood up to 15 ms behind at eight seconds. So the rate is
    // followed over kQuickRateSeconds, and the trim is kBurstTrim, at most kMaxBurstTrim: still
    // less than a tenth of a semitone.
    static constexpr double kBurstTrim = 1.0;
    static constexpr double kMaxBurstTrim = 0.004;
    static constexpr double kSteadySeconds = 0.003;
    static constexpr double kCatchUp = 0.5;
    static constexpr std::size_t kReadings = 5;
    // For kYoungSeconds after a jump the lines are still being measured, and the converter
    // follows them closely instead: each block takes up its span and kYoungCatchUp per second
    // of how far it stands off beyond kYoungSteadySeconds.
    static constexpr double kYoungSeconds = 3.0;
    static constexpr double kYoungCatchUp = 2.5;
    static constexpr double kYoungSteadySeconds = 0.001;
    // How fast (seconds a second) a change in the servers' latencies moves the second source.
    static constexpr double kMaxShiftSlew = 0.0002;
    // Where either source comes in bursts of uneven rhythm, its line wanders by about its
    // unevenness as it is measured afresh: the steady band then widens to kUnevenSteady times the
    // two sources' unevenness together, up to kMostSteadySeconds, short of a jump (a glide at
    // the largest correction for seconds would be heard as a change of pitch).
    static constexpr double kUnevenSteady = 0.5;
    static constexpr double kMostSteadySeconds = 0.006;
    // Once settled, a line that moves its place from one block to the next while both sources
    // go on without a break has most likely not moved the sound: the server changed how late it
    // delivers a source (another quantum, a pipe that took up a backlog) without telling, as a
    // change in the latencies it tells. Up to kMostHeldSeconds of such moves are held, and let
    // go as such a change is followed, by kMaxShiftSlew a second. A larger move, or one across
    // a break, is a jump as before. Only while the two sources' arrivals lie within
    // kEvenSeconds of their lines together: the line through a source in bursts moves as it is
    // measured better.
    static constexpr double kMostHeldSeconds = 0.05;
    static constexpr double kEvenSeconds = 0.002;

    // format: the second input's own format (16-bit, 1 or 2 channels); recordingRate: the rate
    // the sound is wanted at; mono: the recording takes this source's channels averaged anyway
    // (a mono recording, or the sources apart), so a stereo input is averaged before it is
    // resampled and converted once rather than twice.
    CSecondSource(CCaptureInput::MakeDevice makeDevice, const WaveFormat& format, std::uint32_t recordingRate,
                  bool mono = false);
    ~CSecondSource();
    CSecondSource(const CSecondSource&) = delete;
    CSecondSource& operator=(const CSecondSource&) = delete;

    // The input, as CCaptureInput's of the same names; but Started only once the input has
    // delivered its first sound, and Failed (Failure::Device) when it runs and has not within
    // kFirstSoundLimit (the server's own limit for opening): a recording does not begin with
    // a source that gives nothing.
    static constexpr std::chrono::seconds kFirstSoundLimit{5};
    CCaptureInput::Progress Begin();
    CCaptureInput::Progress Poll();
    CCaptureInput::Failure LastFailure() const
    {
        return m_silent ? CCaptureInput::Failure::Device : m_input->LastFailure();
    }
    bool Follow() { return m_input->Follow(); }
    bool Waiting() const { return m_input->Waiting(); }
    void Finish() { m_input->Finish({}); }
    std::vector<CCaptureInput::Outage> Outages() const { return m_input->Outages(); }
    std::string SourceName() const { return m_input->SourceName(); }
    double LatencySeconds() const { return m_input->LatencySeconds(); }
    const WaveFormat& Format() const { return m_input->Format(); }
    std::uint32_t RecordingRate() const { return m_recordingRate; }
    // The channels Render writes: 1 for a mono input or when averaged, else 2.
    int RenderedChannels() const { return m_rendered; }
    // Seconds between a frame's capture and its delivery, on either input, as the devices tell
    // now (0: unknown): how the two are lined up. User-interface thread, now and then.
    void SetLatencies(double firstSeconds, double secondSeconds);

    // Writes frames frames of the second source's sound (RenderedChannels(), floats at full scale
    // 1.0, at the recording's rate) captured over the same stretch of time as a block of the
    // first source's, which arrived from fromNanos to toNanos (steady-clock nanoseconds, on
    // the first source's smoothed arrival line); silence where it has none. firstUnevenness:
    // how far (seconds) the first source's arrivals lie off its line (CStreamClock::Unevenness);
    // follows: the block's frames follow on from the last block's, on a line that has not
    // started afresh since. First source's delivery thread.
    void Render(double fromNanos, double toNanos, std::size_t frames, float* out, double firstUnevenness = 0,
                bool follows = false);
    // Up to when (steady-clock nanoseconds, on the first source's arrival line) the second
    // source's sound has arrived, so that Render has it all; minus infinity while its clock is
    // not yet measured. First source's delivery thread.
    double ArrivedUntil();
    // The latest ratio correction against the nominal rates (+0.005: the second source's clock
    // is taken to run 0.5 % fast), and how far off (seconds) the last block started. Any thread.
    double Correction() const { return m_correction.load(std::memory_order_relaxed); }
    double Offset() const { return m_offset.load(std::memory_order_relaxed); }
    // Times the second source jumped to its place (lost, stalled, or at the start).
    std::uint64_t Jumps() const { return m_jumps.load(std::memory_order_relaxed); }
    // The time between the second source's deliveries, as lately measured (seconds; 0 before
    // two). First source's delivery thread.
    double BlockSeconds() const { return m_blockNanos * 1e-9; }

private:
    void OnBuffer(WaveHeader& header);  // the second input's delivery thread
    // Copies the ring's frames from frame on, at most count, into m_scratch (in the rendered
    // channels: a stereo frame averaged where it is rendered in mono); returns how many.
    std::size_t ReadRing(std::uint64_t frame, std::size_t count);
    // Takes the second input's latest arrivals into its clock. First source's delivery thread.
    void TakeArrivals();
    // How far the first source's arrival line is off the second's (nanoseconds): what the
    // servers' latencies tell, followed for a block of seconds length.
    double Shift(double seconds);
    // The ratio (output frames per input frame) for a block of frames output frames that should
    // start from input frame from; moves the converter to its place first when it is far off.
    // moved: how far (input frames) the lines moved the block's start since the last block.
    double FollowClock(double from, double to, std::size_t frames, double unevenness, double moved);
    // Takes up how far (input frames) the lines moved the block's start since the last block,
    // and lets go of a share of what is held, over a block of seconds.
    void Hold(double moved, double seconds);

    std::uint32_t m_recordingRate;
    int m_channels;  // the input's
    int m_rendered;  // Render's, and the converter's
    std::unique_ptr<CCaptureInput> m_input;
    // Starting (user-interface thread): when the input began to run, and whether it then stayed
    // silent too long.
    std::optional<std::chrono::steady_clock::time_point> m_runningSince;
    bool m_silent = false;
    // The ring: frames [m_begin, m_end) of the second input's timeline (guarded). Its memory is
    // not cleared beforehand: a slot is read only once written.
    std::mutex m_ringMutex;
    std::unique_ptr<std::int16_t[]> m_ring;
    std::size_t m_capacity = 0;  // frames
    std::uint64_t m_begin = 0;
    std::uint64_t m_end = 0;
    std::atomic<double> m_firstLatency{0};
    std::atomic<double> m_secondLatency{0};
    std::atomic<bool> m_latenciesTold{false};  // both inputs have told theirs
    // The latest latency readings of either input (user-interface thread).
    static constexpr std::size_t kLatencyReadings = 20;
    std::vector<double> m_firstReadings;
    std::vector<double> m_secondReadings;
    std::vector<double> m_sortedReadings;

    // Render's own (first source's delivery thread).
    CStreamClock m_clock;
    CDriftResampler m_resampler;
    bool m_placed = false;     // the resampler has a place on the input
    std::uint64_t m_next = 0;  // the next input frame to give it
    std::vector<std::int16_t> m_scratch;
    // The latest offsets (input frames) and rates (input frames per output frame) read, rings.
    std::array<double, kReadings> m_offsets{};
    std::size_t m_offsetCount = 0;
    std::array<double, kReadings> m_rates{};
    std::size_t m_rateCount = 0;
    double m_speed;  // input frames per output frame, as the clocks tell (followed slowly)
    double m_shift = 0;      // what Shift() last gave
    double m_sinceJump = 0;  // seconds of output since the last jump
    double m_jumpArrival = 0;  // the second source's latest delivery at the last jump
    // Settling after a jump: until kYoungSeconds of output have been rendered, and the second
    // source has gone on delivering for as long. Both: what piled up while its clock was first
    // measured is rendered at once, in a moment, while the lines are still young.
    bool Young() const
    {
        return m_sinceJump <= kYoungSeconds || m_lastArrival - m_jumpArrival < kYoungSeconds * 1e9;
    }
    // How far (input frames) the lines moved the sound's place while it went on: held, and let
    // go slowly.
    double m_held = 0;
    // The least the two sources' unevenness has been lately (seconds): it rises by a tenth of
    // kEvenSeconds a second at most.
    double m_calmest = 0;
    // Where the last block ended (input frames), the shift it was placed with, and the second
    // clock's restarts then; m_lastTo < 0: no block to follow on from.
    double m_lastTo = -1;
    double m_lastShift = 0;
    std::uint64_t m_lastRestarts = 0;
    std::atomic<double> m_correction{0};
    std::atomic<double> m_offset{0};
    std::atomic<std::uint64_t> m_jumps{0};
    // The first frame the clock's line places: the first delivered since it last started afresh.
    std::uint64_t m_freshFrom = 0;
    std::uint64_t m_lastFramesEnd = 0;
    std::uint64_t m_beforeDoubt = 0;  // the last delivery's end before the one the clock holds back
    // The last delivery's time and the time between deliveries (a decaying maximum).
    double m_lastArrival = 0;
    double m_blockNanos = 0;
};
