#include "engine/record/WaveIn.h"

#include <algorithm>
#include <cstring>

bool CWaveIn::Ring::Push(WaveHeader* h)
{
    if (items.empty() || count == items.size())
        return false;
    items[(head + count) % items.size()] = h;
    ++count;
    return true;
}

WaveHeader* CWaveIn::Ring::Pop()
{
    if (count == 0)
        return nullptr;
    WaveHeader* h = items[head];
    head = (head + 1) % items.size();
    --count;
    return h;
}

CWaveIn::CWaveIn(std::unique_ptr<IAudioInputDevice> device, std::size_t maxBuffers)
    : m_device(std::move(device)), m_queued(std::max<std::size_t>(maxBuffers, 1)), m_filled(std::max<std::size_t>(maxBuffers, 1))
{
}

CWaveIn::~CWaveIn()
{
    Close();
}

bool CWaveIn::Open(const WaveFormat& format, std::uint32_t framesPerPeriod, Callback callback)
{
    if (m_open || !m_device)
        return false;
    m_callback = std::move(callback);
    m_frameBytes = format.blockAlign;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_closing = false;
    }
    if (!m_device->Open(format, framesPerPeriod,
                        [this](const std::uint8_t* data, std::size_t bytes) { OnData(data, bytes); }))
        return false;
    m_open = true;
    m_delivery = std::thread([this] { DeliveryLoop(); });
    return true;
}

bool CWaveIn::AddBuffer(WaveHeader& header)
{
    if (header.data == nullptr || header.bufferLength == 0)
        return false;
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_open || m_closing || header.flags != 0)
        return false;
    header.bytesRecorded = 0;
    header.flags = kWaveHeaderInQueue;
    if (!m_queued.Push(&header)) {
        header.flags = 0;
        return false;
    }
    return true;
}

bool CWaveIn::Start()
{
    return m_open && m_device->Start();
}

bool CWaveIn::Close()
{
    if (!m_open)
        return false;
    m_device->Close();  // no more OnData after this
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_closing = true;
        // Buffers still queued go back too, after the filled ones, marked done.
        while (WaveHeader* h = m_queued.Pop()) {
            h->flags = (h->flags & ~kWaveHeaderInQueue) | kWaveHeaderDone;
            m_filled.Push(h);
        }
    }
    m_wake.notify_all();
    if (m_delivery.joinable())
        m_delivery.join();
    m_open = false;
    return true;
}

void CWaveIn::OnData(const std::uint8_t* data, std::size_t bytes)
{
    bool filledOne = false;
    bool overrun = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        while (bytes > 0) {
            WaveHeader* h = m_queued.Front();
            if (h == nullptr) {
                overrun = true;
                break;
            }
            const std::size_t room = h->bufferLength - h->bytesRecorded;
            const std::size_t n = std::min(room, bytes);
            std::memcpy(reinterpret_cast<std::uint8_t*>(h->data) + h->bytesRecorded, data, n);
            h->bytesRecorded += static_cast<std::uint32_t>(n);
            data += n;
            bytes -= n;
            if (h->bytesRecorded == h->bufferLength) {
                m_queued.Pop();
                h->flags = (h->flags & ~kWaveHeaderInQueue) | kWaveHeaderDone;
                m_filled.Push(h);  // cannot fail: both rings hold at most their capacity in all
                filledOne = true;
            }
        }
    }
    if (overrun) {
        m_overruns.fetch_add(1, std::memory_order_relaxed);
        m_droppedBytes.fetch_add(bytes, std::memory_order_relaxed);
        if (!m_inGap)
            m_gaps.fetch_add(1, std::memory_order_relaxed);
        m_inGap = true;
    } else {
        m_inGap = false;
    }
    if (filledOne)
        m_wake.notify_one();
}

void CWaveIn::DeliveryLoop()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_filled.count > 0 || m_closing; });
        WaveHeader* h = m_filled.Pop();
        if (h == nullptr) {
            if (!m_closing)
                continue;
            lock.unlock();
            if (m_drained)
                m_drained();
            return;
        }
        lock.unlock();
        m_callback(*h);
        lock.lock();
    }
}
