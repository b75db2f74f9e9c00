#include "platform/windows/WaveOutDevice.h"

#include <vector>

#include <windows.h>
#include <mmsystem.h>

#include "platform/SteadyClock.h"

namespace platform {

struct WaveOutDevice::State {
    HWAVEOUT device = nullptr;
    HANDLE wake = nullptr;  // set by the driver when it hands a buffer back
    std::vector<std::vector<std::int16_t>> memory;
    std::vector<WAVEHDR> headers;
    std::atomic<bool> running{false};
    std::atomic<std::int64_t> lastReturn{0};
    std::uint32_t framesPerBuffer = 0;
    std::uint16_t channels = 0;
    std::int64_t written = 0;  // feeding thread: frames pulled onto the timeline
};

namespace {

// Four buffers of 50 ms: the device runs 150 to 200 ms ahead of the listener at most.
constexpr std::size_t kBuffers = 4;

}  // namespace

WaveOutDevice::WaveOutDevice() = default;

WaveOutDevice::~WaveOutDevice() { Close(); }

bool WaveOutDevice::Open(std::uint32_t rate, std::uint16_t channels, Pull pull)
{
    Close();
    auto state = std::make_unique<State>();
    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = channels;
    format.nSamplesPerSec = rate;
    format.wBitsPerSample = 16;
    format.nBlockAlign = static_cast<WORD>(channels * 2);
    format.nAvgBytesPerSec = rate * format.nBlockAlign;
    state->wake = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (state->wake == nullptr)
        return false;
    if (::waveOutOpen(&state->device, WAVE_MAPPER, &format, reinterpret_cast<DWORD_PTR>(state->wake), 0,
                      CALLBACK_EVENT) != MMSYSERR_NOERROR) {
        ::CloseHandle(state->wake);
        return false;
    }
    state->channels = channels;
    state->framesPerBuffer = rate / 20 > 0 ? rate / 20 : 1;
    state->memory.assign(kBuffers, std::vector<std::int16_t>(std::size_t{state->framesPerBuffer} * channels));
    state->headers.assign(kBuffers, WAVEHDR{});
    for (std::size_t i = 0; i < kBuffers; ++i) {
        WAVEHDR& header = state->headers[i];
        header.lpData = reinterpret_cast<LPSTR>(state->memory[i].data());
        header.dwBufferLength = state->framesPerBuffer * format.nBlockAlign;
        ::waveOutPrepareHeader(state->device, &header, sizeof header);
        header.dwFlags |= WHDR_DONE;  // free for the feeding thread
    }
    m_state = std::move(state);
    m_pull = std::move(pull);
    m_failed.store(false, std::memory_order_release);
    m_state->running.store(true, std::memory_order_release);
    m_thread = std::thread(&WaveOutDevice::Feed, this);
    return true;
}

void WaveOutDevice::Feed()
{
    State* state = m_state.get();
    while (state->running.load(std::memory_order_acquire)) {
        for (WAVEHDR& header : state->headers) {
            if (!(header.dwFlags & WHDR_DONE))
                continue;
            {
                std::lock_guard<std::mutex> lock(m_pullMutex);
                if (!state->running.load(std::memory_order_acquire))
                    return;
                m_pull(state->memory[static_cast<std::size_t>(&header - state->headers.data())].data(),
                       state->framesPerBuffer, state->written);
            }
            state->written += state->framesPerBuffer;
            header.dwFlags &= ~static_cast<DWORD>(WHDR_DONE);
            if (::waveOutWrite(state->device, &header, sizeof header) != MMSYSERR_NOERROR) {
                header.dwFlags |= WHDR_DONE;
                m_failed.store(true, std::memory_order_release);
            }
        }
        ::WaitForSingleObject(state->wake, 100);
        for (const WAVEHDR& header : state->headers)
            if (header.dwFlags & WHDR_DONE) {
                state->lastReturn.store(SteadyClock::Now(), std::memory_order_release);
                break;
            }
    }
}

std::int64_t WaveOutDevice::Played() const
{
    if (!m_state)
        return -1;
    MMTIME time{};
    time.wType = TIME_SAMPLES;
    if (::waveOutGetPosition(m_state->device, &time, sizeof time) != MMSYSERR_NOERROR ||
        time.wType != TIME_SAMPLES)
        return -1;
    return static_cast<std::int64_t>(time.u.sample);
}

std::int64_t WaveOutDevice::LastReturn() const
{
    return m_state ? m_state->lastReturn.load(std::memory_order_acquire) : 0;
}

std::int64_t WaveOutDevice::Close()
{
    State* state = m_state.get();
    if (state == nullptr)
        return -1;
    {
        // Once this is held the feeding thread is not pulling, and it never pulls again.
        std::lock_guard<std::mutex> lock(m_pullMutex);
        state->running.store(false, std::memory_order_release);
    }
    const std::int64_t heard = Played();
    ::waveOutReset(state->device);
    ::SetEvent(state->wake);
    if (m_thread.joinable())
        m_thread.join();
    ::waveOutReset(state->device);
    for (WAVEHDR& header : state->headers)
        ::waveOutUnprepareHeader(state->device, &header, sizeof header);
    ::waveOutClose(state->device);
    ::CloseHandle(state->wake);
    m_state.reset();
    m_pull = nullptr;
    return heard;
}

}  // namespace platform
