#include <gtest/gtest.h>

#include <numeric>
#include <thread>

#include "engine/play/SampleRing.h"

TEST(SampleRingTest, WrapsAroundAndKeepsOrder)
{
    play::SampleRing ring(10, 2);
    std::int16_t next = 0;
    std::int16_t expected = 0;
    for (int round = 0; round < 7; ++round) {
        std::size_t room = 0;
        std::int16_t* region = ring.WriteRegion(room);
        const std::size_t n = std::min<std::size_t>(room, 4);
        for (std::size_t i = 0; i < n * 2; ++i)
            region[i] = next++;
        ring.CommitWrite(n);
        std::int16_t out[6];
        const std::size_t got = ring.Read(out, 3);
        for (std::size_t i = 0; i < got * 2; ++i)
            EXPECT_EQ(out[i], expected++);
    }
    EXPECT_EQ(ring.AvailableFrames(), static_cast<std::size_t>((next - expected) / 2));
    ring.Reset();
    EXPECT_EQ(ring.AvailableFrames(), 0u);
}

TEST(SampleRingTest, ProducerAndConsumerThreadsPassEverySampleOnce)
{
    play::SampleRing ring(64, 1);
    constexpr int kTotal = 50000;
    std::thread producer([&] {
        int value = 0;
        while (value < kTotal) {
            std::size_t room = 0;
            std::int16_t* region = ring.WriteRegion(room);
            std::size_t n = 0;
            while (n < room && value < kTotal)
                region[n++] = static_cast<std::int16_t>(value++ % 30000);
            ring.CommitWrite(n);
        }
    });
    int expected = 0;
    std::int16_t out[17];
    while (expected < kTotal) {
        const std::size_t got = ring.Read(out, 17);
        for (std::size_t i = 0; i < got; ++i)
            ASSERT_EQ(out[i], static_cast<std::int16_t>(expected++ % 30000));
    }
    producer.join();
}
