#include "engine/record/CaptureQueue.h"

#include <algorithm>
#include <cstring>

#include "platform/SteadyClock.h"

bool CCaptureQueue::Ring::Push(WaveHeader* h)
{
    if (items.empty() || count == items.size())
        return false;
    items[(head + count) % items.size()] = h;
    ++count;
    return true;
}

WaveHeader* CCaptureQueue::Ring::Pop()
{
    if (count == 0)
        return nullptr;
    WaveHeader* h = items[head];
    head = (head + 1) % items.size();
    --count;
    return h;
}

CCaptureQueue::CCaptureQueue(std::size_t maxBuffers)
    : m_queued(std::max<std::size_t>(maxBuffers, 1)), m_filled(std::max<std::size_t>(maxBuffers, 1))
{
    m_overrunRuns.reserve(kMaxOverrunRuns);
    m_arrivals.resize(kMaxArrivals);
}

bool CCaptureQueue::TakeArrival(Arrival& arrival)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_arrivalCount == 0)
        return false;
    arrival = m_arrivals[m_arrivalHead];
    m_arrivalHead = (m_arrivalHead + 1) % kMaxArrivals;
    --m_arrivalCount;
    return true;
}

CCaptureQueue::~CCaptureQueue()
{
    Finish();
    Join();
}

void CCaptureQueue::StartDelivery(Callback callback, std::function<void()> first)
{
    if (m_delivery.joinable())
        return;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_callback = std::make_shared<const Callback>(std::move(callback));
        m_first = std::move(first);
    }
    m_delivery = std::thread([this] { DeliveryLoop(); });
}

void CCaptureQueue::SetCallback(Callback callback, std::function<void()> first)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_callback = std::make_shared<const Callback>(std::move(callback));
        m_first = std::move(first);
    }
    m_wake.notify_all();
}

bool CCaptureQueue::OpenDevice(std::unique_ptr<IAudioInputDevice> device, const WaveFormat& format,
                         std::uint32_t framesPerPeriod)
{
    CloseDevice();
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_finishing || !device)
            return false;
    }
    m_device = std::move(device);
    m_frameBytes = std::max<std::uint32_t>(format.blockAlign, 1);
    m_deviceBase = FramesIn();
    m_device->SetTiming([this](std::int64_t nanos, std::uint64_t framesAhead) { OnTiming(nanos, framesAhead); },
                        [this] { return TimingWanted(); });
    if (!m_device->Open(format, framesPerPeriod,
                        [this](const std::uint8_t* data, std::size_t bytes) { OnData(data, bytes); }))
        return false;
    m_deviceOpen = true;
    return true;
}

IAudioInputDevice::OpenProgress CCaptureQueue::DeviceProgress()
{
    return m_deviceOpen ? m_device->Progress() : IAudioInputDevice::OpenProgress::Failed;
}

bool CCaptureQueue::StartDevice()
{
    return m_deviceOpen && m_device->Start();
}

void CCaptureQueue::CloseDevice()
{
    if (!m_deviceOpen)
        return;
    m_device->Close();  // no more OnData after this
    m_deviceOpen = false;
    AddDeviceCounts(&m_pastDrops, &m_pastSwitches);
    // The next device starts a new run of input: a drop right at its start is a gap of its own.
    std::lock_guard<std::mutex> lock(m_mutex);
    m_inGap = false;
}

void CCaptureQueue::AddDeviceCounts(std::vector<InputDrop>* drops, std::vector<InputSwitch>* switches) const
{
    if (!m_device)
        return;
    if (drops != nullptr)
        for (InputDrop drop : m_device->Drops()) {
            drop.atFrame += m_deviceBase;
            drops->push_back(drop);
        }
    if (switches != nullptr)
        for (InputSwitch change : m_device->Switches()) {
            change.atFrame += m_deviceBase;
            switches->push_back(change);
        }
}

std::vector<InputDrop> CCaptureQueue::Drops() const
{
    std::vector<InputDrop> drops = m_pastDrops;
    if (m_deviceOpen)
        AddDeviceCounts(&drops, nullptr);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        drops.insert(drops.end(), m_overrunRuns.begin(), m_overrunRuns.end());
    }
    std::stable_sort(drops.begin(), drops.end(),
                     [](const InputDrop& a, const InputDrop& b) { return a.atFrame < b.atFrame; });
    return drops;
}

std::vector<InputSwitch> CCaptureQueue::Switches() const
{
    std::vector<InputSwitch> switches = m_pastSwitches;
    if (m_deviceOpen)
        AddDeviceCounts(nullptr, &switches);
    return switches;
}

bool CCaptureQueue::AddBuffer(WaveHeader& header)
{
    if (header.data == nullptr || header.bufferLength == 0)
        return false;
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_finishing || header.flags != 0)
        return false;
    header.bytesRecorded = 0;
    header.flags = kWaveHeaderInQueue;
    if (!m_queued.Push(&header)) {
        header.flags = 0;
        return false;
    }
    return true;
}

void CCaptureQueue::Finish(std::function<void()> drained)
{
    CloseDevice();
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_finishing)
            return;
        m_finishing = true;
        m_drained = std::move(drained);
        // Buffers still queued go back too, after the filled ones, marked done.
        while (WaveHeader* h = m_queued.Pop()) {
            h->flags = (h->flags & ~kWaveHeaderInQueue) | kWaveHeaderDone;
            m_filled.Push(h);
        }
    }
    m_wake.notify_all();
    if (!m_delivery.joinable()) {
        // No delivery thread: nobody takes the buffers; drained runs here.
        if (m_drained)
            m_drained();
        m_finished.store(true, std::memory_order_release);
    }
}

void CCaptureQueue::Join()
{
    if (m_delivery.joinable())
        m_delivery.join();
}

void CCaptureQueue::AddArrival(const Arrival& arrival)
{
    // A full ring drops its oldest arrival: whoever follows them looks only at recent ones.
    if (m_arrivalCount == kMaxArrivals) {
        m_arrivalHead = (m_arrivalHead + 1) % kMaxArrivals;
        --m_arrivalCount;
    }
    m_arrivals[(m_arrivalHead + m_arrivalCount++) % kMaxArrivals] = arrival;
}

bool CCaptureQueue::TimingWanted()
{
    // Arrivals nobody takes pile up to the ring's size; one that follows them takes them at
    // every block it handles, so a few dozen waiting mean nobody does.
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_arrivalCount < kMaxArrivals / 4;
}

void CCaptureQueue::OnTiming(std::int64_t nanos, std::uint64_t framesAhead)
{
    if (framesAhead == 0)
        return;  // nothing its deliveries do not already tell
    std::lock_guard<std::mutex> lock(m_mutex);
    AddArrival(Arrival{nanos, m_framesIn.load(std::memory_order_relaxed) + framesAhead, true});
}

void CCaptureQueue::OnData(const std::uint8_t* data, std::size_t bytes)
{
    const std::int64_t now = platform::SteadyClock::Now();
    bool filledOne = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const std::uint64_t frames = bytes / m_frameBytes;
        const std::uint64_t at = m_framesIn.load(std::memory_order_relaxed);
        m_framesIn.store(at + frames, std::memory_order_release);
        AddArrival(Arrival{now, at + frames, false});
        std::uint64_t taken = 0;
        while (bytes > 0) {
            WaveHeader* h = m_queued.Front();
            if (h == nullptr)
                break;
            if (h->bytesRecorded == 0)
                h->timelineFrame = at + taken;
            const std::size_t room = h->bufferLength - h->bytesRecorded;
            const std::size_t n = std::min(room, bytes);
            std::memcpy(reinterpret_cast<std::uint8_t*>(h->data) + h->bytesRecorded, data, n);
            h->bytesRecorded += static_cast<std::uint32_t>(n);
            data += n;
            bytes -= n;
            taken += n / m_frameBytes;
            if (h->bytesRecorded == h->bufferLength) {
                m_queued.Pop();
                h->flags = (h->flags & ~kWaveHeaderInQueue) | kWaveHeaderDone;
                m_filled.Push(h);  // cannot fail: both rings hold at most their capacity in all
                filledOne = true;
            }
        }
        if (bytes > 0) {
            m_overruns.fetch_add(1, std::memory_order_relaxed);
            const std::uint64_t dropped = bytes / m_frameBytes;
            if (!m_inGap && m_overrunRuns.size() < kMaxOverrunRuns)
                m_overrunRuns.push_back(InputDrop{at + taken, dropped});
            else if (!m_overrunRuns.empty())
                m_overrunRuns.back().frames += dropped;
            m_inGap = true;
        } else {
            m_inGap = false;
        }
    }
    if (filledOne)
        m_wake.notify_one();
}

void CCaptureQueue::DeliveryLoop()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_filled.count > 0 || m_finishing || m_first; });
        if (m_first) {
            const std::function<void()> first = std::move(m_first);
            m_first = nullptr;
            lock.unlock();
            first();
            lock.lock();
            continue;
        }
        WaveHeader* h = m_filled.Pop();
        if (h == nullptr) {
            if (!m_finishing)
                continue;
            const std::function<void()> drained = std::move(m_drained);
            lock.unlock();
            if (drained)
                drained();
            m_finished.store(true, std::memory_order_release);
            return;
        }
        const std::shared_ptr<const Callback> callback = m_callback;
        lock.unlock();
        (*callback)(*h);
        lock.lock();
    }
}
