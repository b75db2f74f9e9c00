#pragma once
// Keeps the sound input open while nothing is recorded or played, holding its last seconds in
// memory only (a ring allocated once, never written anywhere), so that Record can begin with
// what was said just before it was pressed.
//
// Threads: the user-interface thread opens it, polls it until the input is open (Poll, from a
// timer; it never waits on the sound server), takes the kept sound and destroys it. The
// capture's delivery thread copies each filled buffer into the ring. Take closes the input
// first, which joins the delivery thread, so the ring is read by one thread at a time.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "engine/record/AudioInputDevice.h"
#include "engine/record/PreRollRing.h"
#include "engine/record/WaveFormat.h"
#include "engine/record/WaveIn.h"

class CKeepBeforeInput {
public:
    // seconds (1..30) of 16-bit input at rate and channels, from the device makeDevice makes.
    CKeepBeforeInput(std::function<std::unique_ptr<IAudioInputDevice>()> makeDevice, int sampleRate, int channels,
                     int seconds);
    ~CKeepBeforeInput();
    CKeepBeforeInput(const CKeepBeforeInput&) = delete;
    CKeepBeforeInput& operator=(const CKeepBeforeInput&) = delete;

    // Opens the input, or begins to; false when it cannot be opened at all.
    bool Open();
    // Starts capture once the input is open. False once the input has failed or is lost: the
    // owner may drop this object and try again later.
    bool Poll();
    bool IsCapturing() const { return m_capturing.load(std::memory_order_acquire); }
    int SampleRate() const { return static_cast<int>(m_format.samplesPerSec); }
    int Channels() const { return m_format.channels; }
    int Seconds() const { return m_seconds; }

    // Closes the input and gives what it kept, oldest first, interleaved.
    std::vector<std::int16_t> Take();

private:
    void OnBuffer(WaveHeader& header);  // delivery thread

    std::function<std::unique_ptr<IAudioInputDevice>()> m_makeDevice;
    WaveFormat m_format;
    int m_seconds;
    std::uint32_t m_chunkFrames;
    CPreRollRing m_ring;
    std::vector<WaveHeader> m_headers;
    std::vector<std::unique_ptr<std::int16_t[]>> m_blocks;
    std::unique_ptr<CWaveIn> m_waveIn;
    std::atomic<bool> m_capturing{false};
    bool m_failed = false;
};
