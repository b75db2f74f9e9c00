// A long recording in pieces: when the "Автозапись" page asks for it, the recording goes on into
// a new file with the standard name every N minutes, every N megabytes or at the start of each
// clock hour. The window names and creates the new file (a few quick calls, never a wait on the
// sound), the recorder switches to it between two encoder chunks, and the window then follows:
// the new file is the current one in the title, the size line, the time display and "LastFile".

#include <cstdio>

#include "controls/FormatTime.h"
#include "controls/InfoPanel.h"
#include "controls/TimePanel.h"
#include "engine/record/WaveRecorder.h"
#include "panel/MainPanel.h"
#include "panel/RecordingReport.h"
#include "panel/WindowTitle.h"
#include "platform/MessageBox.h"
#include "platform/UiTrace.h"

namespace {

// The local clock hour as one number that grows with the date.
long long HourKey(const std::tm& local)
{
    return (static_cast<long long>(local.tm_year) * 400 + local.tm_yday) * 24 + local.tm_hour;
}

}  // namespace

void CMainPanel::StartSplitting()
{
    m_piecesFollowed = 1;
    m_splitHour = HourKey(m_clock->LocalNow());
}

bool CMainPanel::SplitDue()
{
    const CSplitSettings& split = m_settings.AutoPage().Split();
    if (!split.Any() || !m_recorder->CanSplit() || m_recorder->SplitPending())
        return false;
    bool due = false;
    if (split.OnHour()) {
        // Only a later hour than the last one splits: a clock set back (the end of summer time)
        // splits no more until it passes that hour again.
        const long long hour = HourKey(m_clock->LocalNow());
        if (hour > m_splitHour) {
            m_splitHour = hour;
            due = true;
        }
    }
    if (split.Minutes() > 0 && m_recorder->PieceSeconds() >= split.Minutes() * 60.0)
        due = true;
    if (split.Megabytes() > 0 && m_recorder->PieceBytes() >= static_cast<std::uint64_t>(split.Megabytes()) << 20)
        due = true;
    return due;
}

void CMainPanel::FollowPieces(const std::vector<RecordingPiece>& pieces)
{
    if (pieces.size() <= m_piecesFollowed)
        return;
    // The recording writes to the new file now: it is the current one.
    platform::UiTrace trace("record-split-follow");
    m_piecesFollowed = pieces.size();
    m_recordFile.OpenChosen(pieces.back().path);
    m_trackInfo.path = pieces.back().path;
    m_trackInfo.startSeconds = 0;
    SetWindowTitleText(MakeWindowTitle(m_recordFile.GetName()));
    SetMainWindowTitle(WindowTitleText());
    m_timePanel->Reset();
    m_infoPanel->ShowSize(m_recordFile.GetSizeKB(), FormatTime(0));
}

bool CMainPanel::FollowSplit()
{
    if (!m_recorder)
        return true;
    FollowPieces(m_recorder->Pieces());
    if (m_recorder->WriteFailed() || !SplitDue())
        return true;
    platform::UiTrace trace("record-split");
    std::string next;
    const bool created = m_recordFile.CreateNextPiece(next);
    if (!created || !m_recorder->SplitInto(next)) {
        // The new file cannot be made or written (a full disk, a folder that is gone): the
        // recording ends in the file it writes, which is closed whole; the message names the
        // new file, which is not left behind empty.
        if (created)
            std::remove(next.c_str());
        std::fprintf(stderr, "dravellin-recorder: %s: the recording cannot go on into this file\n", next.c_str());
        EndRecording();
        platform::ShowMessage(platform::FormatFileMessage(next, report::kWriteFailed), platform::MessageIcon::Stop);
        LoadWhenWritten();
        return false;
    }
    return true;
}
