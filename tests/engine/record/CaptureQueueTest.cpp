// The capture queue with a hand-driven device: order of delivery, the one delivery thread,
// overruns, what Finish hands back, and a device replaced mid-buffer.

#include <gtest/gtest.h>

#include <mutex>
#include <thread>
#include <vector>

#include "engine/record/FakeAudioInput.h"
#include "engine/record/CaptureQueue.h"

using record_test::FakeAudioInput;
using record_test::FakeDeviceState;

namespace {

struct Delivered {
    std::mutex mutex;
    std::vector<WaveHeader*> headers;
    std::vector<std::uint32_t> bytes;
    std::vector<std::thread::id> threads;

    std::size_t Count()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return headers.size();
    }
    void WaitFor(std::size_t n)
    {
        for (int i = 0; i < 5000 && Count() < n; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
};

WaveFormat MonoFormat()
{
    WaveFormat f;
    f.formatTag = kWaveFormatPcm;
    f.channels = 1;
    f.samplesPerSec = 8000;
    f.blockAlign = 2;
    f.avgBytesPerSec = 16000;
    f.bitsPerSample = 16;
    return f;
}

}  // namespace

TEST(CaptureQueue, HandsFilledBuffersBackInOrderOnOneThreadAndTheRestAtClose)
{
    auto state = std::make_shared<FakeDeviceState>();
    Delivered got;
    std::int16_t blocks[3][4] = {};
    WaveHeader headers[3];
    {
        CCaptureQueue in;
        in.StartDelivery([&](WaveHeader& h) {
            std::lock_guard<std::mutex> lock(got.mutex);
            got.headers.push_back(&h);
            got.bytes.push_back(h.bytesRecorded);
            got.threads.push_back(std::this_thread::get_id());
            EXPECT_EQ(h.flags & kWaveHeaderDone, kWaveHeaderDone);
        });
        ASSERT_TRUE(in.OpenDevice(std::make_unique<FakeAudioInput>(state), MonoFormat(), 4));
        for (int i = 0; i < 3; ++i) {
            headers[i].data = blocks[i];
            headers[i].bufferLength = sizeof blocks[i];
            ASSERT_TRUE(in.AddBuffer(headers[i]));
        }
        EXPECT_FALSE(in.AddBuffer(headers[0]));  // already queued
        ASSERT_TRUE(in.StartDevice());
        std::int16_t samples[10] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
        ASSERT_TRUE(state->Push(samples, sizeof samples));  // fills two and half the third
        got.WaitFor(2);
        EXPECT_EQ(got.Count(), 2u);
        EXPECT_EQ(blocks[1][3], 8);
        EXPECT_EQ(in.Overruns(), 0u);
        EXPECT_EQ(in.FramesIn(), 10u);
        EXPECT_EQ(headers[1].timelineFrame, 4u);
        in.Finish();
        EXPECT_FALSE(state->IsOpen());
        in.Join();
        EXPECT_TRUE(in.Finished());
        // Finished: nothing more is taken.
        headers[0].flags = 0;
        EXPECT_FALSE(in.AddBuffer(headers[0]));
    }
    ASSERT_EQ(got.headers.size(), 3u);
    EXPECT_EQ(got.headers[0], &headers[0]);
    EXPECT_EQ(got.headers[1], &headers[1]);
    EXPECT_EQ(got.headers[2], &headers[2]);
    EXPECT_EQ(got.bytes[0], 8u);
    EXPECT_EQ(got.bytes[2], 4u);  // handed back as far as it got
    EXPECT_EQ(blocks[2][1], 10);
    EXPECT_NE(got.threads[0], std::this_thread::get_id());
    EXPECT_EQ(got.threads[0], got.threads[1]);
    EXPECT_EQ(got.threads[1], got.threads[2]);
}

TEST(CaptureQueue, CountsInputThatFindsNoBuffer)
{
    auto state = std::make_shared<FakeDeviceState>();
    std::int16_t block[4] = {};
    WaveHeader header;
    header.data = block;
    header.bufferLength = sizeof block;
    std::atomic<int> calls{0};
    CCaptureQueue in;
    in.StartDelivery([&](WaveHeader& h) {
        ++calls;
        h.flags = 0;
        in.AddBuffer(h);  // straight back, as the recorder does while capturing
    });
    ASSERT_TRUE(in.OpenDevice(std::make_unique<FakeAudioInput>(state), MonoFormat(), 4));
    ASSERT_TRUE(in.StartDevice());
    std::int16_t samples[4] = {};
    ASSERT_TRUE(state->Push(samples, sizeof samples));
    EXPECT_EQ(in.Overruns(), 1u);
    // Dropped input still moves the timeline on: what follows lies after the gap.
    ASSERT_EQ(in.Drops().size(), 1u);
    EXPECT_EQ(in.Drops()[0].frames, 4u);
    ASSERT_TRUE(in.AddBuffer(header));
    for (int i = 0; i < 50; ++i) {
        ASSERT_TRUE(state->Push(samples, sizeof samples));
        for (int k = 0; k < 2000 && calls.load() <= i; ++k)
            std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    EXPECT_EQ(calls.load(), 50);
    EXPECT_EQ(in.Overruns(), 1u);
    EXPECT_EQ(header.timelineFrame, 4u * 50);
}

TEST(CaptureQueue, DeviceThatCannotOpenLeavesNothingRunning)
{
    auto state = std::make_shared<FakeDeviceState>();
    state->failOpen = true;
    CCaptureQueue in;
    EXPECT_FALSE(in.OpenDevice(std::make_unique<FakeAudioInput>(state), MonoFormat(), 4));
    EXPECT_FALSE(in.HasDevice());
    EXPECT_FALSE(in.StartDevice());
}

// A lost device is replaced by another: the buffer the first part filled goes on filling from
// the second, so the owner sees one stream; the device's own drops and switches land on the
// one timeline.
TEST(CaptureQueue, ANewDeviceGoesOnFillingTheSameBuffers)
{
    auto first = std::make_shared<FakeDeviceState>();
    auto second = std::make_shared<FakeDeviceState>();
    second->drops = {InputDrop{1, 3}};
    second->switches = {InputSwitch{"usb", 2}};
    Delivered got;
    std::int16_t block[4] = {};
    WaveHeader header;
    header.data = block;
    header.bufferLength = sizeof block;
    CCaptureQueue in;
    in.StartDelivery([&](WaveHeader& h) {
        std::lock_guard<std::mutex> lock(got.mutex);
        got.headers.push_back(&h);
    });
    ASSERT_TRUE(in.AddBuffer(header));
    ASSERT_TRUE(in.OpenDevice(std::make_unique<FakeAudioInput>(first), MonoFormat(), 4));
    ASSERT_TRUE(in.StartDevice());
    const std::int16_t a[3] = {1, 2, 3};
    ASSERT_TRUE(first->Push(a, sizeof a));
    in.CloseDevice();
    EXPECT_FALSE(first->IsOpen());
    EXPECT_FALSE(first->Push(a, sizeof a));
    ASSERT_TRUE(in.OpenDevice(std::make_unique<FakeAudioInput>(second), MonoFormat(), 4));
    ASSERT_TRUE(in.StartDevice());
    const std::int16_t b[1] = {4};
    ASSERT_TRUE(second->Push(b, sizeof b));
    got.WaitFor(1);
    ASSERT_EQ(got.Count(), 1u);
    EXPECT_EQ(block[2], 3);
    EXPECT_EQ(block[3], 4);
    EXPECT_EQ(header.timelineFrame, 0u);
    ASSERT_EQ(in.Drops().size(), 1u);
    EXPECT_EQ(in.Drops()[0].atFrame, 4u);
    ASSERT_EQ(in.Switches().size(), 1u);
    EXPECT_EQ(in.Switches()[0].atFrame, 5u);
}
