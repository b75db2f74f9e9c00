// A stream's clock line, tried on a made-up delivery timeline like one a sound server gave:
// blocks of a tenth of a second, each late by a few milliseconds in a repeating pattern, and
// now and then by thirty; the source's pace changes two seconds in (the server ran it on
// another device's clock until then).

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "engine/record/StreamClock.h"

TEST(StreamClock, AChangeOfPaceIsTakenUpWithinSeconds)
{
    constexpr double kNominal = 44100.0;
    constexpr double kFast = kNominal * 1.005;
    // A server may run a source on another device's clock for its first seconds, up to four.
    for (const double knee : {2.0, 3.7}) {
        SCOPED_TRACE(knee);
        CStreamClock clock(kNominal);
        // Frame n was captured at CapturedAt(n) seconds: at the nominal pace up to the knee,
        // then 0.5 % fast.
        const auto capturedAt = [&](double frame) {
            const double at = knee * kNominal;
            return frame <= at ? frame / kNominal : knee + (frame - at) / kFast;
        };
        const double origin = 1000.0;  // seconds of the steady clock at frame 0
        std::uint64_t frames = 0;
        for (int block = 1; capturedAt(static_cast<double>(frames)) < knee + 4.0; ++block) {
            frames += 4410;
            const double late = 0.004 * (block % 3) + (block % 17 == 0 ? 0.03 : 0.0);
            const double at = origin + capturedAt(static_cast<double>(frames)) + 0.002 + late;
            clock.Arrived(static_cast<std::int64_t>(at * 1e9), frames);
        }
        // Four seconds after the change: the fast pace, and the place of the latest block's
        // earliest possible arrival, to within what nobody hears.
        EXPECT_NEAR(clock.Rate() / kFast, 1.0, 0.0003) << clock.Rate();
        const double last = static_cast<double>(frames);
        EXPECT_NEAR(clock.TimeOf(last) * 1e-9, origin + capturedAt(last) + 0.002, 0.003);
        EXPECT_EQ(clock.Restarts(), 0u);
    }
}

// A pipe filled by a rate-limiting writer: a tenth of a second at a time, every 90 ms, with every
// tenth slot skipped, so each block comes up to 100 ms early in a rhythm of its own. The line
// goes through the middle of that rhythm and stays put: it neither jumps with the rhythm nor
// drifts, however the window slides.
TEST(StreamClock, BurstsInARhythmOfTheirOwnDoNotMoveTheLine)
{
    constexpr double kRate = 44100.0 * 1.005;
    CStreamClock clock(44100.0);
    const double origin = 1000.0;
    std::uint64_t frames = 0;
    double lowest = 1e9, highest = -1e9, widestStep = 0, previous = 0;
    for (int slot = 0; slot < 30 * 11; ++slot) {
        if (slot % 10 == 9)
            continue;  // the skipped slot
        frames += static_cast<std::uint64_t>(kRate / 10);
        const double at = origin + slot * 0.09 + 0.001 * (slot % 7);
        clock.Arrived(static_cast<std::int64_t>(at * 1e9), frames);
        if (at - origin < 12.0)
            continue;
        // Where the line puts a frame captured a second ago, against where it was.
        const double frame = (at - origin - 1.0) * kRate;
        const double place = clock.TimeOf(frame) * 1e-9 - (origin + frame / kRate);
        lowest = std::min(lowest, place);
        highest = std::max(highest, place);
        if (previous != 0)
            widestStep = std::max(widestStep, std::fabs(place - previous));
        previous = place;
    }
    EXPECT_LT(highest - lowest, 0.004) << lowest << " to " << highest;
    EXPECT_LT(widestStep, 0.003);
    EXPECT_NEAR(clock.Rate() / kRate, 1.0, 0.0005) << clock.Rate();
    EXPECT_GT(clock.Unevenness(), CStreamClock::kUnevenSeconds);
}

// A pipe filled by pv a tenth of a second at a time and read by the server 4096 frames at a time,
// the second source 0.5 % fast: each block arrives up to 100 ms after its last frame was
// written, in a pattern that repeats only every few seconds. Once eight seconds have come, the
// line puts the newest frame within a few milliseconds of one place against the pace pv wrote at,
// and moves it by no more than a millisecond and a half from one burst to the next (the mixer
// follows where it puts it).
TEST(StreamClock, APipeReadInChunksOfItsOwnStaysWithinMillisecondsOfItsPace)
{
    constexpr double kRate = 44100.0 * 1.005;
    CStreamClock clock(44100.0);
    const double origin = 1000.0;
    double written = 0, delivered = 0, lowest = 1e9, highest = -1e9, widestStep = 0, previous = 0;
    for (int burst = 1; burst <= 400; ++burst) {
        const double at = burst * 0.1;
        written = std::floor(kRate * at);
        for (; delivered + 4096 <= written; delivered += 4096)
            clock.Arrived(static_cast<std::int64_t>((origin + at) * 1e9), static_cast<std::uint64_t>(delivered + 4096));
        if (at < 8.0)
            continue;
        const double late = at - clock.FrameAt((origin + at) * 1e9) / kRate;
        lowest = std::min(lowest, late);
        highest = std::max(highest, late);
        if (previous != 0)
            widestStep = std::max(widestStep, std::fabs(late - previous));
        previous = late;
    }
    EXPECT_LT(highest - lowest, 0.005) << lowest << " to " << highest;
    EXPECT_LT(widestStep, 0.0015);
    EXPECT_EQ(clock.Restarts(), 0u);
}

// A monitor as PulseAudio delivers it: a tenth of a second at a time, now and then a delivery
// held up for another tenth and then handed over short of its end, 47 ms late. Where that is
// the only arrival of its quarter second yet, it must not tilt the rate measured from the first
// second on: a tilt of a percent, even for a few blocks, is a glide heard as a change of pitch.
TEST(StreamClock, AQuarterSecondWithOnlyALateArrivalDoesNotTiltTheRate)
{
    constexpr double kRate = 44100.0;
    CStreamClock clock(kRate);
    const double origin = 1000.0;
    double widest = 0;
    for (int block = 1; block <= 40; ++block) {
        if (block % 7 == 3)
            continue;  // held up
        const auto frames = static_cast<std::uint64_t>(block * kRate / 10) - (block % 7 == 4 ? 2061 : 0);
        clock.Arrived(static_cast<std::int64_t>((origin + block * 0.1 + 0.002) * 1e9), frames);
        widest = std::max(widest, std::fabs(clock.Rate() / kRate - 1.0));
    }
    EXPECT_LT(widest, 0.001);
}

// A monitor's deliveries come in two pieces a moment apart, the first short of the delivery's
// end, and now and then a delivery comes a tenth of a second late. Where a first piece opens a
// quarter second it is that quarter second's only arrival until the rest comes: the line's place
// must not follow it even for that moment, or the second source is pulled tens of milliseconds
// late and glides back, heard as a change of pitch.
TEST(StreamClock, TheFirstPieceOfADeliveryDoesNotMoveThePlace)
{
    constexpr double kRate = 44100.0;
    CStreamClock clock(kRate);
    const double origin = 1000.0;
    double latest = 0;
    for (const double t : {0.1, 0.2, 0.3, 0.55, 0.6, 0.7, 0.8, 0.9, 1.1, 1.2, 1.3, 1.4, 1.5}) {
        const auto frames = static_cast<std::uint64_t>(t * kRate);
        for (const std::uint64_t end : {frames - 3500, frames}) {
            clock.Arrived(static_cast<std::int64_t>((origin + t + 0.002) * 1e9), end);
            if (clock.Settled())
                latest = std::max(latest, clock.TimeOf(0.0) * 1e-9 - origin);
        }
    }
    EXPECT_LT(latest, 0.003) << "the line put the stream's start this late (s)";
}

// A busy machine's upsets, as traced on both servers under load: a stall (every delivery 85 ms
// late for 1.4 s, then on time again), one in the first seconds (35 ms late for two of them,
// before the source could be found steady), and a skipped cycle (every delivery 23 ms later
// from then on); and what a source held before it started, handed over with its first blocks
// (40 ms before any later block could come). None may tilt the rate by more than what nobody
// hears; a stall leaves the place where it was, the backlog leaves it where the later blocks
// put it from the third stretch on, and the skipped cycle moves it, as a step, within seconds.
TEST(StreamClock, AStallOrASkippedCycleDoesNotTiltTheRate)
{
    constexpr double kRate = 44100.0;
    const double origin = 1000.0;
    struct Upset {
        const char* name;
        double from, to, late;
    };
    for (const Upset upset : {Upset{"stall", 7.0, 8.4, 0.085}, Upset{"early stall", 2.2, 4.2, 0.035},
                              Upset{"skipped cycle", 6.0, 1e9, 0.023}, Upset{"backlog", 0.0, 0.25, -0.04}}) {
        SCOPED_TRACE(upset.name);
        const bool step = upset.to > 100;
        CStreamClock clock(kRate);
        double widest = 0, farthest = 0;
        for (int block = 1; block <= 200; ++block) {
            const double t = block * 0.1;
            const double late = t >= upset.from && t < upset.to ? upset.late : 0.0;
            const auto frames = static_cast<std::uint64_t>(block * kRate / 10);
            clock.Arrived(static_cast<std::int64_t>((origin + t + 0.002 + 0.001 * (block % 3) + late) * 1e9), frames);
            if (t >= 1.5)
                widest = std::max(widest, std::fabs(clock.Rate() / kRate - 1.0));
            // Where the line puts the newest frame, against its earliest arrival.
            if (step ? t >= 10.0 : upset.late > 0 || t >= 1.0)
                farthest = std::max(farthest, std::fabs(clock.TimeOf(static_cast<double>(frames)) * 1e-9 -
                                                        (origin + t + 0.002 + (step ? upset.late : 0.0))));
        }
        EXPECT_LT(widest, 0.0015);
        EXPECT_LT(farthest, 0.005);
        EXPECT_EQ(clock.Restarts(), 0u);
    }
}

// A stall of half a second (everything due hands over at its end, a millisecond apart) leaves the
// line where it was; a source that from then on delivers 0.6 s later than before starts it
// afresh, a delivery after the first far-late one, from that one on.
TEST(StreamClock, AStallOfHalfASecondKeepsTheLineAndALastingShiftStartsItAfresh)
{
    constexpr double kRate = 44100.0;
    const double origin = 1000.0;
    for (const bool lasting : {false, true}) {
        SCOPED_TRACE(lasting ? "lasting shift" : "stall");
        CStreamClock clock(kRate);
        double at = 0;
        for (int block = 1; block <= 150; ++block) {
            const double due = block * 0.1;
            if (lasting)
                at = due >= 10.0 ? due + 0.6 : due;
            else
                at = block >= 100 && block < 105 ? 10.5 - 0.001 * (105 - block) : due;
            clock.Arrived(static_cast<std::int64_t>((origin + at + 0.002) * 1e9),
                          static_cast<std::uint64_t>(block * kRate / 10));
            if (block == 100) {
                EXPECT_TRUE(clock.Doubting());
            }
        }
        EXPECT_EQ(clock.Restarts(), lasting ? 1u : 0u);
        EXPECT_FALSE(clock.Doubting());
        EXPECT_NEAR(clock.TimeOf(150 * kRate / 10) * 1e-9, origin + at + 0.002, 0.002);
    }
}
