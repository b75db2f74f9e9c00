// The wave-input layer with a hand-driven device: order of delivery, the one delivery thread,
// overruns, and what Close hands back.

#include <gtest/gtest.h>

#include <mutex>
#include <thread>
#include <vector>

#include "engine/record/FakeAudioInput.h"
#include "engine/record/WaveIn.h"

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

TEST(WaveIn, HandsFilledBuffersBackInOrderOnOneThreadAndTheRestAtClose)
{
    auto state = std::make_shared<FakeDeviceState>();
    Delivered got;
    std::int16_t blocks[3][4] = {};
    WaveHeader headers[3];
    {
        CWaveIn in(std::make_unique<FakeAudioInput>(state));
        ASSERT_TRUE(in.Open(MonoFormat(), 4, [&](WaveHeader& h) {
            std::lock_guard<std::mutex> lock(got.mutex);
            got.headers.push_back(&h);
            got.bytes.push_back(h.bytesRecorded);
            got.threads.push_back(std::this_thread::get_id());
            EXPECT_EQ(h.flags & kWaveHeaderDone, kWaveHeaderDone);
        }));
        for (int i = 0; i < 3; ++i) {
            headers[i].data = blocks[i];
            headers[i].bufferLength = sizeof blocks[i];
            ASSERT_TRUE(in.AddBuffer(headers[i]));
        }
        EXPECT_FALSE(in.AddBuffer(headers[0]));  // already queued
        ASSERT_TRUE(in.Start());
        std::int16_t samples[10] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
        ASSERT_TRUE(state->Push(samples, sizeof samples));  // fills two and half the third
        got.WaitFor(2);
        EXPECT_EQ(got.Count(), 2u);
        EXPECT_EQ(blocks[1][3], 8);
        EXPECT_EQ(in.Overruns(), 0u);
        EXPECT_TRUE(in.Close());
        EXPECT_FALSE(state->IsOpen());
        // Closed: nothing more is taken.
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

TEST(WaveIn, CountsInputThatFindsNoBuffer)
{
    auto state = std::make_shared<FakeDeviceState>();
    std::int16_t block[4] = {};
    WaveHeader header;
    header.data = block;
    header.bufferLength = sizeof block;
    std::atomic<int> calls{0};
    CWaveIn in(std::make_unique<FakeAudioInput>(state));
    ASSERT_TRUE(in.Open(MonoFormat(), 4, [&](WaveHeader& h) {
        ++calls;
        h.flags = 0;
        in.AddBuffer(h);  // straight back, as the recorder does while capturing
    }));
    ASSERT_TRUE(in.Start());
    std::int16_t samples[4] = {};
    ASSERT_TRUE(state->Push(samples, sizeof samples));
    EXPECT_EQ(in.Overruns(), 1u);
    ASSERT_TRUE(in.AddBuffer(header));
    for (int i = 0; i < 50; ++i) {
        ASSERT_TRUE(state->Push(samples, sizeof samples));
        for (int k = 0; k < 2000 && calls.load() <= i; ++k)
            std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    EXPECT_EQ(calls.load(), 50);
    EXPECT_EQ(in.Overruns(), 1u);
    in.Close();
}

TEST(WaveIn, DeviceThatCannotOpenLeavesNothingRunning)
{
    auto state = std::make_shared<FakeDeviceState>();
    state->failOpen = true;
    CWaveIn in(std::make_unique<FakeAudioInput>(state));
    EXPECT_FALSE(in.Open(MonoFormat(), 4, [](WaveHeader&) {}));
    EXPECT_FALSE(in.IsOpen());
    std::int16_t block[4] = {};
    WaveHeader header;
    header.data = block;
    header.bufferLength = sizeof block;
    EXPECT_FALSE(in.AddBuffer(header));
    EXPECT_FALSE(in.Start());
    EXPECT_FALSE(in.Close());
}
