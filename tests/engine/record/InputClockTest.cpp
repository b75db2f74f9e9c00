// When a sound input counts as fallen behind, tried on made-up delivery timelines: the steady
// small blocks of a low-latency server, the seconds-long blocks of a long-latency one, a backlog
// at the start, a source that stops, and device clocks a little off over hours.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>

#include "engine/record/InputClock.h"

namespace {

using namespace std::chrono_literals;

constexpr double kBytesPerSecond = 44100.0 * 4;  // 16-bit stereo at 44.1 kHz
constexpr std::chrono::nanoseconds kLimit = 1500ms;

std::int64_t Ns(std::chrono::nanoseconds t) { return t.count(); }

std::size_t BytesOf(std::chrono::nanoseconds length)
{
    return static_cast<std::size_t>(kBytesPerSecond * std::chrono::duration<double>(length).count());
}

// Delivers `block` of sound every `every` from `from` for `span`, checking on every 10 ms of the
// way that the input is not behind; returns the time after the last delivery.
std::chrono::nanoseconds DeliverRegularly(CInputClock& clock, std::chrono::nanoseconds from,
                                          std::chrono::nanoseconds span, std::chrono::nanoseconds every,
                                          std::chrono::nanoseconds block)
{
    std::chrono::nanoseconds next = from;
    for (std::chrono::nanoseconds t = from; t < from + span; t += 10ms) {
        while (next <= t) {
            clock.Delivered(Ns(t), BytesOf(block));
            next += every;
        }
        EXPECT_FALSE(clock.Behind(Ns(t), kLimit)) << "at " << std::chrono::duration<double>(t).count() << " s";
        if (clock.Behind(Ns(t), kLimit))
            break;
    }
    return from + span;
}

}  // namespace

TEST(InputClock, SmallAndLongBlocksAtRealTimePaceAreNeverBehind)
{
    CInputClock small(kBytesPerSecond);
    small.Start(0);
    DeliverRegularly(small, 5ms, 60s, 10ms, 10ms);

    // A long-latency source: the first two seconds arrive after two seconds, then two seconds at
    // a time. The last delivery's time (not its sound) was more than the limit ago, every time.
    CInputClock bursts(kBytesPerSecond);
    bursts.Start(0);
    EXPECT_FALSE(bursts.Behind(Ns(1999ms), kLimit));
    DeliverRegularly(bursts, 2s, 60s, 2s, 2s);
}

TEST(InputClock, AnInputThatStopsIsBehindWithinTheLimitWhateverCameBefore)
{
    // Stopped after steady small blocks.
    CInputClock clock(kBytesPerSecond);
    clock.Start(0);
    const auto stoppedAt = DeliverRegularly(clock, 0s, 10s, 100ms, 100ms);
    EXPECT_FALSE(clock.Behind(Ns(stoppedAt + 1500ms), kLimit));
    EXPECT_TRUE(clock.Behind(Ns(stoppedAt + 1700ms), kLimit));

    // A big backlog at the start counts for at most the lead, so a source that stops right after
    // handing over ten stored-up seconds is still caught within lead + limit.
    CInputClock backlog(kBytesPerSecond);
    backlog.Start(0);
    backlog.Delivered(Ns(100ms), BytesOf(10s));
    EXPECT_TRUE(backlog.Behind(Ns(100ms + CInputClock::kMaxLead + 1600ms), kLimit));

    // Nothing ever came: caught once the first sound's grace is over, not before.
    CInputClock silent(kBytesPerSecond);
    silent.Start(Ns(1s));
    EXPECT_FALSE(silent.Behind(Ns(1s + CInputClock::kFirstSoundGrace + 1400ms), kLimit));
    EXPECT_TRUE(silent.Behind(Ns(1s + CInputClock::kFirstSoundGrace + 1600ms), kLimit));

    // The grace is for the first sound only: a restart of the same clock grants it again, but a
    // source that delivered once and then stopped is held to the limit alone.
    CInputClock once(kBytesPerSecond);
    once.Start(0);
    once.Delivered(Ns(10ms), BytesOf(10ms));
    EXPECT_TRUE(once.Behind(Ns(1600ms), kLimit));
    once.Start(Ns(2s));
    EXPECT_FALSE(once.Behind(Ns(4s), kLimit));
}

TEST(InputClock, DeviceClocksALittleOffNeverAddUpOverHours)
{
    // A device 0.1 % slow delivers 3.6 s less sound per hour than the clock runs; one 0.1 %
    // fast delivers more. Neither is behind at any point of three hours, and the fast one is
    // still caught soon after it stops.
    for (const double rate : {0.999, 1.001}) {
        CInputClock clock(kBytesPerSecond);
        clock.Start(0);
        const auto block = std::chrono::duration_cast<std::chrono::nanoseconds>(100ms * rate);
        const auto end = DeliverRegularly(clock, 0s, 3h, 100ms, block);
        EXPECT_TRUE(clock.Behind(Ns(end + CInputClock::kMaxLead + 1600ms), kLimit)) << rate;
    }
}

TEST(InputClock, AProgramThatWasStoppedIsNotTakenForAStalledInput)
{
    // Thirty seconds without a poll and without a delivery (the whole program stopped): behind
    // at the first poll after, but the backlog comes before it is confirmed.
    CInputClock clock(kBytesPerSecond);
    clock.Start(0);
    const auto stoppedAt = DeliverRegularly(clock, 0s, 5s, 100ms, 100ms);
    const auto wokeAt = stoppedAt + 30s;
    EXPECT_FALSE(clock.Stalled(Ns(wokeAt), kLimit));
    clock.Delivered(Ns(wokeAt + 20ms), BytesOf(10s));
    EXPECT_FALSE(clock.Stalled(Ns(wokeAt + 100ms), kLimit));
    // An input that really stopped stays behind and is stalled kConfirm after it was seen so.
    EXPECT_FALSE(clock.Stalled(Ns(wokeAt + 35s), kLimit));
    EXPECT_FALSE(clock.Stalled(Ns(wokeAt + 35s + CInputClock::kConfirm - 10ms), kLimit));
    EXPECT_TRUE(clock.Stalled(Ns(wokeAt + 35s + CInputClock::kConfirm), kLimit));
}
