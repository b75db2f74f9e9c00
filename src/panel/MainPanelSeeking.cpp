// Moving the playback position: start, end, five-second steps and dragging the slider's thumb.

#include <cstdio>

#include "controls/FormatTime.h"
#include "controls/SeekSlider.h"
#include "controls/TimePanel.h"
#include "engine/play/Mp3Player.h"
#include "panel/MainPanel.h"
#include "panel/WindowTitle.h"

// The target and the file length of the last tracking step of a thumb drag, used at release.
float g_dragTarget = 0.0f;
float g_dragLength = 0.0f;

namespace {

constexpr float kStepSeconds = 5.0f;

int SliderUnits(float seconds, float length)
{
    return length > 0.0f ? static_cast<int>(seconds * 1000.0 / length) : 0;
}

}  // namespace

void CMainPanel::JumpToStart()
{
    if (!m_mp3Player)
        return;
    m_mp3Player->SeekStart();
    m_slider->GoToStart();
    m_timePanel->SetSeconds(0);
}

void CMainPanel::JumpToEnd()
{
    if (!m_mp3Player)
        return;
    m_mp3Player->SeekEnd();
    m_slider->GoToEnd();
    m_timePanel->SetSeconds(static_cast<int>(m_mp3Player->GetLength()));
}

void CMainPanel::StepBack()
{
    if (!m_mp3Player)
        return;
    const float length = m_mp3Player->GetLength();
    float target = m_mp3Player->GetPosition() - kStepSeconds;
    if (target < 0.0f)
        target = 0.0f;
    m_mp3Player->Seek(target);
    m_timePanel->SetSeconds(static_cast<int>(target));
    m_slider->SetPos(SliderUnits(target, length));
}

void CMainPanel::StepForward()
{
    if (!m_mp3Player)
        return;
    const float length = m_mp3Player->GetLength();
    float target = m_mp3Player->GetPosition() + kStepSeconds;
    if (target > length)
        target = length;
    m_mp3Player->Seek(target);
    m_timePanel->SetSeconds(static_cast<int>(target));
    m_slider->SetPos(SliderUnits(target, length));
}

void CMainPanel::OnSliderScroll(int code, int thumbPosition)
{
    if (!m_mp3Player)
        return;
    switch (code) {
    case kScrollLineLeft:   // a notch of the mouse wheel: the same steps as the Left and Right keys
    case kScrollPageLeft:   // a click in the channel left of the thumb
        StepBack();
        break;
    case kScrollLineRight:
    case kScrollPageRight:
        StepForward();
        break;
    case kScrollThumbPosition:
        if (!m_slider->IsDragging())
            return;  // a release with no drag before it has no target to go to
        m_slider->SetDragging(false);
        m_slider->SetPos(SliderUnits(g_dragTarget, g_dragLength));
        m_timePanel->SetSeconds(static_cast<int>(g_dragTarget));
        m_mp3Player->Seek(g_dragTarget);
        SetMainWindowTitle(WindowTitleText());
        break;
    case kScrollThumbTrack:
        m_slider->SetDragging(true);
        break;
    default:
        break;
    }

    if (m_slider->IsDragging()) {
        g_dragLength = m_mp3Player->GetLength();
        const int rangeMax = m_slider->GetRangeMax();
        g_dragTarget = rangeMax > 0 ? static_cast<float>(thumbPosition) / rangeMax * g_dragLength : 0.0f;
        const int percent = g_dragLength > 0.0f ? static_cast<int>(g_dragTarget * 100.0f / g_dragLength) : 0;
        char title[256];
        std::snprintf(title, sizeof title, "Переход: %s/%s (%d%%)",
                      FormatTime(static_cast<int>(g_dragTarget)).c_str(),
                      FormatTime(static_cast<int>(g_dragLength)).c_str(), percent);
        SetMainWindowTitle(title);
    }
}
