#include "engine/record/CaptureInput.h"

#include <algorithm>

namespace {

std::size_t BufferCountFor(std::uint32_t bufferFrames, std::uint32_t frameRate, std::uint32_t queueMilliseconds)
{
    const std::uint64_t frames = static_cast<std::uint64_t>(frameRate) * queueMilliseconds / 1000;
    const std::uint64_t count = (frames + bufferFrames - 1) / std::max<std::uint32_t>(bufferFrames, 1);
    return static_cast<std::size_t>(std::max<std::uint64_t>(count, 2));
}

}  // namespace

CCaptureInput::CCaptureInput(MakeDevice makeDevice, const WaveFormat& format, std::uint32_t bufferFrames,
                             std::uint32_t queueMilliseconds)
    : m_makeDevice(std::move(makeDevice)),
      m_format(format),
      m_bufferFrames(std::max<std::uint32_t>(bufferFrames, 1)),
      m_headers(BufferCountFor(m_bufferFrames, format.samplesPerSec, queueMilliseconds)),
      m_blocks(m_headers.size()),
      m_queue(m_headers.size())
{
    const std::size_t samples = static_cast<std::size_t>(m_bufferFrames) * std::max<std::uint16_t>(format.channels, 1);
    for (std::size_t i = 0; i < m_headers.size(); ++i) {
        m_blocks[i] = std::make_unique<std::int16_t[]>(samples);
        m_headers[i].data = m_blocks[i].get();
        m_headers[i].bufferLength = static_cast<std::uint32_t>(samples * 2);
        m_headers[i].user = this;
    }
}

CCaptureInput::~CCaptureInput()
{
    StopCapturing();
    m_queue.Finish();
    m_queue.Join();
}

CCaptureInput::Progress CCaptureInput::Begin(CCaptureQueue::Callback callback, std::function<void()> first)
{
    if (m_begun)
        return Progress::Failed;
    m_begun = true;
    m_failure = Failure::Device;
    m_queue.StartDelivery([this, callback = std::move(callback)](WaveHeader& h) { OnBuffer(callback, h); },
                           std::move(first));
    for (auto& header : m_headers)
        m_queue.AddBuffer(header);
    if (!OpenDevice()) {
        if (m_queue.FormatRefused())
            m_failure = Failure::Format;
        return Progress::Failed;
    }
    return Poll();
}

bool CCaptureInput::OpenDevice()
{
    auto device = m_makeDevice();
    if (!device)
        return false;
    if (m_serverOnly)
        device->RequireServer();
    return m_queue.OpenDevice(std::move(device), m_format, m_bufferFrames);
}

CCaptureInput::Progress CCaptureInput::Poll()
{
    if (m_capturing.load())
        return Progress::Started;
    if (!m_queue.HasDevice())
        return Progress::Failed;
    switch (m_queue.DeviceProgress()) {
    case IAudioInputDevice::OpenProgress::Opening:
        return Progress::Pending;
    case IAudioInputDevice::OpenProgress::Failed:
        if (m_queue.SourceMissing())
            m_failure = Failure::SourceMissing;
        return Progress::Failed;
    case IAudioInputDevice::OpenProgress::Open:
        break;
    }
    return StartOpened();
}

CCaptureInput::Progress CCaptureInput::StartOpened()
{
    // Set before the device starts, so the first buffers that come back are queued again.
    m_capturing = true;
    if (!m_queue.StartDevice()) {
        m_capturing = false;
        return Progress::Failed;
    }
    m_failure = Failure::None;
    return Progress::Started;
}

void CCaptureInput::SetCallback(CCaptureQueue::Callback callback, std::function<void()> first)
{
    m_queue.SetCallback([this, callback = std::move(callback)](WaveHeader& h) { OnBuffer(callback, h); },
                         std::move(first));
}

void CCaptureInput::OnBuffer(const CCaptureQueue::Callback& callback, WaveHeader& header)
{
    header.flags = 0;
    callback(header);
    if (m_capturing.load(std::memory_order_acquire))
        m_queue.AddBuffer(header);
}

bool CCaptureInput::Follow()
{
    if (!m_capturing.load(std::memory_order_acquire))
        return false;
    const SteadyTime now = std::chrono::steady_clock::now();
    switch (m_wait) {
    case Wait::None:
        // The device that came back has delivered: its outage is over.
        if (m_resumed && FramesIn() > m_framesAtResume) {
            m_resumed = false;
            m_outages.push_back({m_lostAtFrame, std::chrono::duration<double>(m_resumedAt - m_lostAt).count()});
        }
        if (m_queue.DeviceLost())
            Lose(now);
        break;
    case Wait::Closed:
        if (now >= m_nextTry)
            Reopen(now);
        break;
    case Wait::Opening:
        PollReopen(now);
        break;
    }
    return m_wait != Wait::None;
}

void CCaptureInput::RetryNow()
{
    if (m_wait == Wait::Closed)
        m_nextTry = std::chrono::steady_clock::now();
    Follow();
}

void CCaptureInput::Lose(SteadyTime now)
{
    // Only the server's own stream is opened again for an input that came through the server:
    // another device would be another input.
    m_serverOnly = m_queue.ThroughServer();
    // What it gave is still delivered; a buffer it part filled goes on filling from the next.
    m_queue.CloseDevice();
    // Lost again before it delivered anything (a source that opens but stays silent): still
    // the same outage.
    if (!m_resumed) {
        m_lostAt = now;
        m_lostAtFrame = FramesIn();
    }
    m_resumed = false;
    m_wait = Wait::Closed;
    m_nextTry = now + kRetryInterval;
}

void CCaptureInput::RetryLater(SteadyTime now)
{
    m_queue.CloseDevice();  // never started: nothing was captured
    m_wait = Wait::Closed;
    m_nextTry = now + kRetryInterval;
}

void CCaptureInput::Reopen(SteadyTime now)
{
    if (!OpenDevice()) {
        RetryLater(now);
        return;
    }
    m_wait = Wait::Opening;
    PollReopen(now);
}

void CCaptureInput::PollReopen(SteadyTime now)
{
    switch (m_queue.DeviceProgress()) {
    case IAudioInputDevice::OpenProgress::Opening:
        return;
    case IAudioInputDevice::OpenProgress::Failed:
        RetryLater(now);
        return;
    case IAudioInputDevice::OpenProgress::Open:
        break;
    }
    if (!m_queue.StartDevice()) {
        RetryLater(now);
        return;
    }
    // The outage counts until now, and ends once the input has delivered.
    m_resumed = true;
    m_resumedAt = now;
    m_framesAtResume = FramesIn();
    m_wait = Wait::None;
}

std::vector<CCaptureInput::Outage> CCaptureInput::Outages() const
{
    std::vector<Outage> outages = m_outages;
    // An outage still going on counts until now; one whose input has delivered since it was
    // last looked at, until the input was open again.
    if (m_wait != Wait::None || m_resumed) {
        const SteadyTime back = m_wait == Wait::None && FramesIn() > m_framesAtResume
                                    ? m_resumedAt
                                    : std::chrono::steady_clock::now();
        outages.push_back({m_lostAtFrame, std::chrono::duration<double>(back - m_lostAt).count()});
    }
    return outages;
}

void CCaptureInput::Finish(std::function<void()> drained)
{
    StopCapturing();
    m_wait = Wait::None;
    m_queue.Finish(std::move(drained));
}
