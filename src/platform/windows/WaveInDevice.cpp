#include "platform/windows/WaveInDevice.h"

#include <windows.h>
#include <mmsystem.h>

#include "platform/SteadyClock.h"

namespace platform {

struct WaveInDevice::State {
    HWAVEIN device = nullptr;
    HANDLE wake = nullptr;  // auto-reset event: a buffer is filled, or the thread must look
    std::vector<std::vector<std::int16_t>> memory;
    std::vector<WAVEHDR> headers;
    // Filled headers in the order the driver returned them: a ring with one slot per header,
    // written only by the driver's callback and read only by the delivery thread.
    std::vector<WAVEHDR*> filled;
    std::atomic<std::size_t> filledIn{0};
    std::atomic<std::size_t> filledOut{0};
    std::atomic<int> queued{0};  // headers the driver holds
    // When the driver last held none: steady ns, or -1; and frames it had returned by then.
    std::atomic<std::int64_t> starvedAt{-1};
    std::atomic<std::uint64_t> starvedAtFrame{0};
    std::uint64_t returnedFrames = 0;  // driver's callback: frames in the headers it returned
    std::atomic<bool> running{false};
    // Set under requeue by Close: from then on no header is queued again, and the driver
    // handing back its last one is no starvation.
    std::atomic<bool> closing{false};
    std::mutex requeue;
    std::uint32_t rate = 0;
    std::uint32_t frameBytes = 0;
};

namespace {

// The driver's thread. Only hands the buffer over: no wave function may be called here.
void CALLBACK OnWaveIn(HWAVEIN, UINT message, DWORD_PTR instance, DWORD_PTR param1, DWORD_PTR)
{
    if (message != WIM_DATA)
        return;
    auto* state = reinterpret_cast<WaveInDevice::State*>(instance);
    auto* header = reinterpret_cast<WAVEHDR*>(param1);
    state->returnedFrames += header->dwBytesRecorded / state->frameBytes;
    const std::size_t in = state->filledIn.load(std::memory_order_relaxed);
    state->filled[in % state->filled.size()] = header;
    state->filledIn.store(in + 1, std::memory_order_release);
    if (state->queued.fetch_sub(1, std::memory_order_acq_rel) == 1 && state->running.load(std::memory_order_relaxed) &&
        !state->closing.load(std::memory_order_acquire)) {
        state->starvedAtFrame.store(state->returnedFrames, std::memory_order_relaxed);
        state->starvedAt.store(SteadyClock::Now(), std::memory_order_release);
    }
    ::SetEvent(state->wake);
}

}  // namespace

WaveInDevice::WaveInDevice() = default;

WaveInDevice::~WaveInDevice() { Close(); }

WaveInDevice::OpenResult WaveInDevice::Open(std::uint32_t rate, std::uint16_t channels,
                                            std::uint32_t framesPerBuffer, Sink sink)
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
        return OpenResult::NoDevice;
    const MMRESULT rc = ::waveInOpen(&state->device, WAVE_MAPPER, &format,
                                     reinterpret_cast<DWORD_PTR>(&OnWaveIn),
                                     reinterpret_cast<DWORD_PTR>(state.get()), CALLBACK_FUNCTION);
    if (rc != MMSYSERR_NOERROR) {
        ::CloseHandle(state->wake);
        return rc == WAVERR_BADFORMAT ? OpenResult::FormatRefused : OpenResult::NoDevice;
    }
    state->rate = rate;
    state->frameBytes = format.nBlockAlign;
    const std::uint32_t frames = framesPerBuffer > 0 ? framesPerBuffer : rate / 10;
    std::size_t count = 8;
    while (count * frames < 2 * rate)
        ++count;
    state->memory.assign(count, std::vector<std::int16_t>(static_cast<std::size_t>(frames) * channels));
    state->headers.assign(count, WAVEHDR{});
    state->filled.assign(count, nullptr);
    for (std::size_t i = 0; i < count; ++i) {
        WAVEHDR& header = state->headers[i];
        header.lpData = reinterpret_cast<LPSTR>(state->memory[i].data());
        header.dwBufferLength = frames * format.nBlockAlign;
        if (::waveInPrepareHeader(state->device, &header, sizeof header) != MMSYSERR_NOERROR) {
            m_state = std::move(state);
            Close();
            return OpenResult::NoDevice;
        }
    }
    m_state = std::move(state);
    m_sink = std::move(sink);
    m_failed.store(false, std::memory_order_release);
    {
        std::lock_guard<std::mutex> lock(m_dropsMutex);
        m_drops.clear();
    }
    return OpenResult::Opened;
}

bool WaveInDevice::Start()
{
    State* state = m_state.get();
    if (state == nullptr || state->running.load())
        return false;
    for (WAVEHDR& header : state->headers) {
        state->queued.fetch_add(1, std::memory_order_acq_rel);
        if (::waveInAddBuffer(state->device, &header, sizeof header) != MMSYSERR_NOERROR) {
            state->queued.fetch_sub(1, std::memory_order_acq_rel);
            return false;
        }
    }
    state->running.store(true, std::memory_order_release);
    m_thread = std::thread(&WaveInDevice::Deliver, this);
    if (::waveInStart(state->device) != MMSYSERR_NOERROR) {
        m_failed.store(true, std::memory_order_release);
        return false;
    }
    return true;
}

void WaveInDevice::Deliver()
{
    State* state = m_state.get();
    std::int64_t closingSince = -1;
    for (;;) {
        // Once closing, every header the driver had is on its way back: the ring is emptied
        // after it held them all (or after kCloseLimit, for a driver that keeps some).
        const bool allBack = state->queued.load(std::memory_order_acquire) == 0;
        std::size_t out = state->filledOut.load(std::memory_order_relaxed);
        while (out != state->filledIn.load(std::memory_order_acquire)) {
            WAVEHDR* header = state->filled[out % state->filled.size()];
            state->filledOut.store(++out, std::memory_order_release);
            if (header->dwBytesRecorded > 0)
                m_sink(reinterpret_cast<const std::uint8_t*>(header->lpData), header->dwBytesRecorded);
            header->dwBytesRecorded = 0;
            Requeue(static_cast<std::size_t>(header - state->headers.data()));
        }
        if (state->closing.load(std::memory_order_acquire)) {
            if (closingSince < 0)
                closingSince = SteadyClock::Now();
            if (allBack || SteadyClock::Now() - closingSince > SteadyClock::Nanos(kCloseLimit))
                return;
        }
        ::WaitForSingleObject(state->wake, 200);
    }
}

void WaveInDevice::Requeue(std::size_t index)
{
    State* state = m_state.get();
    WAVEHDR* header = &state->headers[index];
    std::lock_guard<std::mutex> lock(state->requeue);
    if (state->closing.load(std::memory_order_relaxed))
        return;
    state->queued.fetch_add(1, std::memory_order_acq_rel);
    if (::waveInAddBuffer(state->device, header, sizeof *header) != MMSYSERR_NOERROR) {
        state->queued.fetch_sub(1, std::memory_order_acq_rel);
        m_failed.store(true, std::memory_order_release);
        return;
    }
    // The driver had no buffer from the moment it handed back its last one until now: what it
    // recorded meanwhile is lost, after the frames it had returned by then.
    const std::int64_t starved = state->starvedAt.exchange(-1, std::memory_order_acq_rel);
    if (starved < 0)
        return;
    const std::int64_t nanos = SteadyClock::Now() - starved;
    const auto lost = static_cast<std::uint64_t>(static_cast<double>(nanos) * state->rate / 1e9);
    if (lost > 0) {
        std::lock_guard<std::mutex> drops(m_dropsMutex);
        m_drops.push_back(Drop{state->starvedAtFrame.load(std::memory_order_relaxed), lost});
    }
}

void WaveInDevice::Close()
{
    State* state = m_state.get();
    if (state == nullptr)
        return;
    {
        std::lock_guard<std::mutex> lock(state->requeue);
        state->closing.store(true, std::memory_order_release);
    }
    // Hands every queued buffer back, the one being filled with what it holds; the delivery
    // thread delivers them all, then ends.
    ::waveInReset(state->device);
    ::SetEvent(state->wake);
    if (m_thread.joinable())
        m_thread.join();
    state->running.store(false, std::memory_order_release);
    ::waveInReset(state->device);  // a driver that kept some past the limit
    for (WAVEHDR& header : state->headers)
        if (header.dwFlags & WHDR_PREPARED)
            ::waveInUnprepareHeader(state->device, &header, sizeof header);
    ::waveInClose(state->device);
    ::CloseHandle(state->wake);
    m_state.reset();
    m_sink = nullptr;
}

std::vector<WaveInDevice::Drop> WaveInDevice::Drops() const
{
    std::lock_guard<std::mutex> lock(m_dropsMutex);
    return m_drops;
}

}  // namespace platform
