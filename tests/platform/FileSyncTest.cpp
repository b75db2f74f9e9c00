// A folder that refuses its sync is the file system's answer; any other failure stays one.

#include <gtest/gtest.h>

#include <cerrno>

#include "platform/FileSync.h"

namespace {

// Gives the folder's answer instead of asking the system.
class AnsweringSync : public platform::FileSync {
public:
    explicit AnsweringSync(int answer) : m_answer(answer) {}

protected:
    int SyncFolder(const std::string&) override { return m_answer; }

private:
    int m_answer;
};

}  // namespace

TEST(FileSync, AFolderThatRefusesItsSyncCountsAsSyncedAndAFailureDoesNot)
{
    for (const int refusal : {EINVAL, EACCES, EBADF, EROFS})
        EXPECT_TRUE(AnsweringSync(refusal).FolderOf("/any/where/new.mp3")) << refusal;
    for (const int failure : {EIO, ENOSPC, ENOENT})
        EXPECT_FALSE(AnsweringSync(failure).FolderOf("/any/where/new.mp3")) << failure;
    EXPECT_TRUE(AnsweringSync(0).FolderOf("new.mp3"));
}
