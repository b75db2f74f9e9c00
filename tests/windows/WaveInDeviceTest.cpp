// The Windows wave input on a real driver (Wine's, on the tests' PulseAudio, run by
// wine_test.sh), in the cases the Linux inputs are tried in: the program's delivery stalls as
// in a stopped program, within the driver's queue and well past it, and the input is closed
// while the driver holds filled buffers. Prints what it measured; exits 1 on a failed check.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

#include "engine/record/InputClock.h"
#include "engine/record/windows/WaveInAudioInput.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr std::uint32_t kRate = 44100;
constexpr std::uint32_t kFramesPerBuffer = kRate / 20;  // 50 ms: a queue of 40, 2 s

int g_failures = 0;

void Check(bool ok, const char* what)
{
    std::printf("%s: %s\n", ok ? "ok" : "FAIL", what);
    if (!ok)
        ++g_failures;
}

// Counts the frames delivered; the next delivery after Stall sleeps, as a stopped program's
// delivery thread would.
struct Sink {
    std::atomic<std::uint64_t> frames{0};
    std::atomic<std::int64_t> stallMs{0};
    std::atomic<std::uint64_t> stalledAt{0};  // frames delivered when the stall began

    void Take(const std::uint8_t*, std::size_t bytes)
    {
        frames.fetch_add(bytes / 4);
        if (const std::int64_t ms = stallMs.exchange(0); ms > 0) {
            stalledAt.store(frames.load());
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        }
    }
    void Stall(std::chrono::milliseconds length) { stallMs.store(length.count()); }
};

double Seconds(std::uint64_t frames) { return static_cast<double>(frames) / kRate; }

bool Open(CWaveInAudioInput& input, Sink& sink)
{
    const WaveFormat stereo{kWaveFormatPcm, 2, kRate, kRate * 4, 4, 16, 0};
    if (!input.Open(stereo, kFramesPerBuffer, [&](const std::uint8_t* d, std::size_t n) { sink.Take(d, n); }) ||
        !input.Start()) {
        Check(false, "the wave input opens and starts");
        return false;
    }
    const auto until = Clock::now() + 10s;
    while (sink.frames.load() < kRate && Clock::now() < until)
        std::this_thread::sleep_for(10ms);
    if (sink.frames.load() < kRate) {
        Check(false, "the wave input delivers a second");
        return false;
    }
    return true;
}

// Asked as the recorder asks, ten times a second, for a while: never lost.
bool StaysFound(CWaveInAudioInput& input, std::chrono::milliseconds length)
{
    for (auto until = Clock::now() + length; Clock::now() < until; std::this_thread::sleep_for(100ms))
        if (input.Lost())
            return false;
    return true;
}

// The program stops for longer than the stall limit but within the queue: the first look
// after it goes on finds the input behind, which is no loss, and nothing is dropped.
void StallWithinTheQueue()
{
    CWaveInAudioInput input;
    Sink sink;
    if (!Open(input, sink))
        return;
    constexpr auto kStall = CWaveInAudioInput::kStallLimit + 300ms;
    sink.Stall(kStall);
    std::this_thread::sleep_for(kStall - 50ms);
    const bool lostAtOnce = input.Lost();
    Check(!lostAtOnce && StaysFound(input, 1500ms), "a stall within the queue: the input is not lost");
    Check(input.Drops().empty(), "a stall within the queue: nothing dropped");
    input.Close();
}

// Well past the queue: the drop lies where the driver ran out of buffers, a queue's length
// after the frames delivered before the stall, and lasts about as long as the stall beyond it.
void StallPastTheQueue()
{
    CWaveInAudioInput input;
    Sink sink;
    if (!Open(input, sink))
        return;
    sink.Stall(4000ms);
    std::this_thread::sleep_for(5000ms);
    Check(StaysFound(input, 1000ms), "a stall past the queue: the input is not lost once the program goes on");
    input.Close();
    const auto drops = input.Drops();
    std::printf("stalled at %.2f s; drops:", Seconds(sink.stalledAt.load()));
    for (const auto& drop : drops)
        std::printf(" %.2f s at %.2f s", Seconds(drop.frames), Seconds(drop.atFrame));
    std::printf("\n");
    Check(!drops.empty(), "a stall past the queue: the input dropped is reported");
    if (drops.empty())
        return;
    // A loaded machine may starve the driver again for a moment while the queue refills: the
    // longest drop is the stall's.
    const auto stall = *std::max_element(drops.begin(), drops.end(),
                                         [](const InputDrop& a, const InputDrop& b) { return a.frames < b.frames; });
    const double after = Seconds(stall.atFrame) - Seconds(sink.stalledAt.load());
    Check(after > 1.5 && after < 2.6, "the drop lies where the driver ran out, a queue after the stall's start");
    Check(Seconds(stall.frames) > 1.0 && Seconds(stall.frames) < 3.0, "the drop lasts the stall past the queue");
}

// Closed while the delivery is stalled: what the driver filled meanwhile is delivered first.
void CloseWhileBuffersAreFilled()
{
    CWaveInAudioInput input;
    Sink sink;
    if (!Open(input, sink))
        return;
    sink.Stall(1500ms);
    std::this_thread::sleep_for(1300ms);
    const std::uint64_t atClose = sink.frames.load();
    input.Close();
    const double delivered = Seconds(sink.frames.load() - atClose);
    std::printf("delivered on close: %.2f s\n", delivered);
    Check(delivered > 0.9, "closing delivers the buffers the driver filled");
}

}  // namespace

int main()
{
    StallWithinTheQueue();
    StallPastTheQueue();
    CloseWhileBuffersAreFilled();
    return g_failures == 0 ? 0 : 1;
}
