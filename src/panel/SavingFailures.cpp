#include "panel/SavingFailures.h"

#include <cstdio>
#include <sstream>

#include "engine/record/PendingWrites.h"
#include "panel/RecordingReport.h"
#include "platform/MessageBox.h"
#include "platform/ProfileKeys.h"

void CSavingFailures::Log(const std::string& path)
{
    std::fprintf(stderr, "dravellin-recorder: %s: the last writes to the disk failed, part of the recording may be lost\n",
                 path.c_str());
}

void CSavingFailures::ShowFound()
{
    // Taken before any message: a timer tick inside the message's loop finds nothing twice.
    for (const std::string& path : CPendingWrites::Get().TakeFailures()) {
        Log(path);
        platform::ShowMessage(platform::FormatFileMessage(path, report::kSavingFailed), platform::MessageIcon::Stop);
    }
}

void CSavingFailures::AtClose(bool attended)
{
    CPendingWrites::Get().WaitAll(kCloseWait);
    if (attended) {
        ShowFound();
        return;
    }
    const std::vector<std::string> failed = CPendingWrites::Get().TakeFailures();
    for (const std::string& path : failed)
        Log(path);
    KeepForNextStart(failed);
}

void CSavingFailures::AtExit()
{
    const bool finished = CPendingWrites::Get().WaitAll(kExitWait);
    const std::vector<std::string> failed = CPendingWrites::Get().TakeFailures();
    for (const std::string& path : failed)
        Log(path);
    KeepForNextStart(failed);
    if (finished)
        return;
    // Everything was handed to the system, which keeps it; only its sync is not confirmed.
    for (const std::string& path : CPendingWrites::Get().Unfinished())
        std::fprintf(stderr, "dravellin-recorder: %s: the last recording was still being synced to the disk at exit\n",
                     path.c_str());
}

void CSavingFailures::KeepForNextStart(const std::vector<std::string>& paths)
{
    if (paths.empty())
        return;
    std::string kept = platform::ReadSetting(platform::kSyncFailedFiles);
    for (const std::string& path : paths)
        kept += (kept.empty() ? "" : "\n") + path;
    platform::WriteSetting(platform::kSyncFailedFiles, kept);
}

void CSavingFailures::ShowKept()
{
    const std::string kept = platform::ReadSetting(platform::kSyncFailedFiles);
    if (kept.empty())
        return;
    // Forgotten before it is shown: once, even if the program does not get past the message.
    platform::WriteSetting(platform::kSyncFailedFiles, "");
    std::istringstream lines(kept);
    for (std::string path; std::getline(lines, path);)
        if (!path.empty())
            platform::ShowMessage(platform::FormatFileMessage(path, report::kSavingFailed), platform::MessageIcon::Stop);
}
