#pragma once
// A sound input the test drives by hand: Push() delivers bytes to the sink as the device's
// thread would (from whichever thread calls it), and the state tells what the owner did.

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "engine/record/AudioInputDevice.h"

namespace record_test {

struct FakeDeviceState {
    std::mutex mutex;
    IAudioInputDevice::Sink sink;
    WaveFormat format;
    std::uint32_t framesPerPeriod = 0;
    bool open = false;
    bool started = false;
    int opens = 0;
    int closes = 0;
    bool failOpen = false;
    bool failStart = false;
    // What the device says while and after it opens, and what it counted.
    IAudioInputDevice::OpenProgress progress = IAudioInputDevice::OpenProgress::Open;
    bool sourceMissing = false;
    bool lost = false;  // the started device is gone
    std::vector<InputDrop> drops;
    std::vector<InputSwitch> switches;

    // Delivers bytes while the device runs; false when it does not.
    bool Push(const void* data, std::size_t bytes)
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (!started || !sink)
            return false;
        sink(static_cast<const std::uint8_t*>(data), bytes);
        return true;
    }
    bool IsOpen()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return open;
    }
};

class FakeAudioInput : public IAudioInputDevice {
public:
    explicit FakeAudioInput(std::shared_ptr<FakeDeviceState> state) : m_state(std::move(state)) {}
    ~FakeAudioInput() override { Close(); }

    bool Open(const WaveFormat& format, std::uint32_t framesPerPeriod, Sink sink) override
    {
        std::lock_guard<std::mutex> lock(m_state->mutex);
        ++m_state->opens;
        if (m_state->failOpen)
            return false;
        m_state->format = format;
        m_state->framesPerPeriod = framesPerPeriod;
        m_state->sink = std::move(sink);
        m_state->open = true;
        return true;
    }
    bool Start() override
    {
        std::lock_guard<std::mutex> lock(m_state->mutex);
        if (m_state->failStart)
            return false;
        m_state->started = true;
        return true;
    }
    void Close() override
    {
        std::lock_guard<std::mutex> lock(m_state->mutex);
        if (!m_state->open)
            return;
        ++m_state->closes;
        m_state->open = false;
        m_state->started = false;
        m_state->sink = nullptr;
    }

    OpenProgress Progress() override
    {
        std::lock_guard<std::mutex> lock(m_state->mutex);
        return m_state->progress;
    }
    bool SourceMissing() const override { return m_state->sourceMissing; }
    bool Lost() const override
    {
        std::lock_guard<std::mutex> lock(m_state->mutex);
        return m_state->started && m_state->lost;
    }
    std::vector<InputDrop> Drops() const override { return m_state->drops; }
    std::vector<InputSwitch> Switches() const override { return m_state->switches; }

private:
    std::shared_ptr<FakeDeviceState> m_state;
};

}  // namespace record_test
