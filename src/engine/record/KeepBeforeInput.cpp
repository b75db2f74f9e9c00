#include "engine/record/KeepBeforeInput.h"

#include <algorithm>

#include "engine/record/PreRollRing.h"

CKeepBeforeInput::CKeepBeforeInput(CCaptureInput::MakeDevice makeDevice, int sampleRate, int channels, int seconds)
    : m_format(PcmFormat(static_cast<std::uint32_t>(sampleRate), static_cast<std::uint16_t>(channels))),
      m_seconds(std::clamp(seconds, 1, 30))
{
    // The recording's own buffers, so that it can take them over as they are.
    const std::uint32_t bufferFrames = CCaptureInput::BufferFramesFor(m_format.samplesPerSec);
    m_ring = std::make_shared<CPreRollRing>(
        static_cast<std::size_t>((static_cast<std::uint64_t>(m_seconds) * m_format.samplesPerSec + bufferFrames - 1) /
                                 bufferFrames),
        static_cast<std::size_t>(bufferFrames) * m_format.channels);
    m_input = std::make_unique<CCaptureInput>(std::move(makeDevice), m_format, bufferFrames,
                                              CCaptureInput::kQueueMilliseconds);
}

CKeepBeforeInput::~CKeepBeforeInput() = default;

bool CKeepBeforeInput::Open()
{
    if (!m_input)
        return false;
    CPreRollRing* ring = m_ring.get();
    const CCaptureInput::Progress progress = m_input->Begin([ring](WaveHeader& header) {
        if (header.bytesRecorded == header.bufferLength)
            ring->Push(header.data);
    });
    m_failed = progress == CCaptureInput::Progress::Failed;
    return !m_failed;
}

bool CKeepBeforeInput::Poll()
{
    if (m_failed || !m_input)
        return false;
    if (!m_input->IsCapturing()) {
        m_failed = m_input->Poll() == CCaptureInput::Progress::Failed;
        return !m_failed;
    }
    m_input->Follow();
    return true;
}

std::shared_ptr<KeptInput> CKeepBeforeInput::Release()
{
    auto kept = std::make_shared<KeptInput>();
    kept->format = m_format;
    if (Keeping())
        kept->input = std::move(m_input);
    m_input.reset();  // waits for its delivery thread: the ring is complete and still
    kept->ring = std::move(m_ring);
    return kept;
}
