#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <fcntl.h>
#include <optional>
#include <unistd.h>

#include "files/RecordFile.h"
#include "platform/ProfileKeys.h"
#include "support/MessageCapture.h"
#include "support/TempDir.h"

namespace {

using testing_support::ReadWholeFile;
using testing_support::WriteWholeFile;

// 5 March, 09:07.
class FixedClock : public CClock {
public:
    std::tm LocalNow() const override
    {
        std::tm t{};
        t.tm_mday = 5;
        t.tm_mon = 2;
        t.tm_hour = 9;
        t.tm_min = 7;
        return t;
    }
};

// Answers the dialogs from a queue; an empty answer is a cancel.
struct DialogScript {
    std::deque<std::optional<std::string>> answers;
    std::string lastSuggestion;
    int newCalls = 0;
    int openCalls = 0;
};

class ScriptedDialogs : public CFileDialogs {
public:
    explicit ScriptedDialogs(DialogScript& script) : m_script(script) {}
    std::optional<std::string> AskNewFile(const std::string& suggestedName) override
    {
        ++m_script.newCalls;
        m_script.lastSuggestion = suggestedName;
        return Next();
    }
    std::optional<std::string> AskExistingFile() override
    {
        ++m_script.openCalls;
        return Next();
    }

private:
    std::optional<std::string> Next()
    {
        std::optional<std::string> answer;
        if (!m_script.answers.empty()) {
            answer = m_script.answers.front();
            m_script.answers.pop_front();
        }
        return answer;
    }
    DialogScript& m_script;
};

class RecordFileTest : public ::testing::Test {
protected:
    RecordFileTest()
        : file(std::make_unique<FixedClock>(), std::make_unique<ScriptedDialogs>(script))
    {
        platform::WriteSetting(platform::kLastFile, "");
    }

    static std::string LastFile() { return platform::ReadSetting(platform::kLastFile); }

    testing_support::TempDir dir;
    testing_support::MessageCapture messages;
    DialogScript script;
    CRecordFile file;
};

TEST_F(RecordFileTest, StartsWithoutFileAndResetReturnsThere)
{
    EXPECT_EQ(file.GetName(), "<No file>");
    EXPECT_EQ(file.GetPath(), "");
    EXPECT_EQ(file.GetSizeKB(), 0u);
    platform::WriteSetting(platform::kLastFile, dir.File("a.mp3"));
    ASSERT_TRUE(file.OpenExisting(true));
    file.Reset();
    EXPECT_EQ(file.GetName(), "<No file>");
    EXPECT_EQ(file.GetPath(), "");
    EXPECT_EQ(file.MakeDefaultName(), "05mar_0907");
}

TEST_F(RecordFileTest, AutomaticNameLandsInTheFolderOfTheLastFile)
{
    platform::WriteSetting(platform::kLastFile, dir.File("old.mp3"));
    ASSERT_TRUE(file.NewFile(true));
    EXPECT_EQ(file.GetPath(), dir.File("05mar_0907.mp3"));
    EXPECT_EQ(file.GetName(), "05mar_0907.mp3");
    EXPECT_EQ(script.newCalls, 0);
    // Remembered only once the file exists.
    EXPECT_EQ(LastFile(), dir.File("old.mp3"));

    ASSERT_TRUE(file.CreateEmpty());
    EXPECT_EQ(LastFile(), dir.File("05mar_0907.mp3"));
    EXPECT_EQ(ReadWholeFile(dir.File("05mar_0907.mp3")), "");
    EXPECT_TRUE(messages.Messages().empty());
}

// Without a known folder the file lands in the current folder, and "LastFile" holds its full
// path, so a later start from another folder (autostart starts in the home folder) finds it.
TEST_F(RecordFileTest, AutomaticNameWithoutKnownFolderIsAFullPathInTheCurrentFolder)
{
    const std::string before = std::filesystem::current_path().string();
    std::filesystem::create_directory(dir.File("here"));
    std::filesystem::current_path(dir.File("here"));
    const std::string here = std::filesystem::current_path().string();

    ASSERT_TRUE(file.NewFile(true));  // "LastFile" empty
    EXPECT_EQ(file.GetPath(), here + "/05mar_0907.mp3");
    EXPECT_EQ(file.GetName(), "05mar_0907.mp3");
    ASSERT_TRUE(file.CreateEmpty());
    EXPECT_EQ(LastFile(), here + "/05mar_0907.mp3");
    EXPECT_TRUE(std::filesystem::exists(here + "/05mar_0907.mp3"));

    platform::WriteSetting(platform::kLastFile, "old.mp3");  // no folder part
    ASSERT_TRUE(file.NewFile(true));
    EXPECT_EQ(file.GetPath(), here + "/05mar_0907-2.mp3");
    platform::WriteSetting(platform::kLastFile, "sub/old.mp3");  // a relative folder
    std::filesystem::create_directory("sub");
    ASSERT_TRUE(file.NewFile(true));
    EXPECT_EQ(file.GetPath(), here + "/sub/05mar_0907.mp3");

    // Another current folder: the remembered file is still found.
    ASSERT_TRUE(file.CreateEmpty());
    std::filesystem::current_path(before);
    CRecordFile later(std::make_unique<FixedClock>(), std::make_unique<ScriptedDialogs>(script));
    ASSERT_TRUE(later.OpenExisting(true));
    EXPECT_TRUE(std::filesystem::exists(later.GetPath())) << later.GetPath();
}

TEST_F(RecordFileTest, AutomaticNameNeverReusesAnExistingFile)
{
    platform::WriteSetting(platform::kLastFile, dir.File("old.mp3"));
    WriteWholeFile(dir.File("05mar_0907.mp3"), "first recording");
    ASSERT_TRUE(file.NewFile(true));
    EXPECT_EQ(file.GetName(), "05mar_0907-2.mp3");
    ASSERT_TRUE(file.CreateEmpty());

    // A third start in the same minute.
    ASSERT_TRUE(file.NewFile(true));
    EXPECT_EQ(file.GetName(), "05mar_0907-3.mp3");
    ASSERT_TRUE(file.CreateEmpty());
    EXPECT_EQ(LastFile(), dir.File("05mar_0907-3.mp3"));

    EXPECT_EQ(ReadWholeFile(dir.File("05mar_0907.mp3")), "first recording");
    EXPECT_EQ(ReadWholeFile(dir.File("05mar_0907-2.mp3")), "");
    EXPECT_TRUE(messages.Messages().empty());
}

TEST_F(RecordFileTest, CreateEmptyKeepsAFileThatAppearedAfterNaming)
{
    platform::WriteSetting(platform::kLastFile, dir.File("old.mp3"));
    ASSERT_TRUE(file.NewFile(true));
    const std::string named = file.GetPath();
    WriteWholeFile(named, "someone else's audio");

    EXPECT_FALSE(file.CreateEmpty());
    EXPECT_EQ(ReadWholeFile(named), "someone else's audio");
    ASSERT_EQ(messages.Messages().size(), 1u);
    EXPECT_EQ(messages.Messages()[0].text, named + "\nНе могу создать файл.");
    EXPECT_EQ(messages.Messages()[0].icon, platform::MessageIcon::Stop);
}

// A failed New changes nothing: the current file, its name and "LastFile" stay as they were.
TEST_F(RecordFileTest, AFailedCreationKeepsTheCurrentFile)
{
    WriteWholeFile(dir.File("current.mp3"), "audio");
    platform::WriteSetting(platform::kLastFile, dir.File("current.mp3"));
    ASSERT_TRUE(file.OpenExisting(true));

    platform::WriteSetting(platform::kLastFile, dir.File("gone/current.mp3"));
    ASSERT_TRUE(file.NewFile(true));
    EXPECT_FALSE(file.CreateEmpty());
    ASSERT_EQ(messages.Messages().size(), 1u);
    EXPECT_EQ(messages.Messages()[0].text, dir.File("gone/05mar_0907.mp3") + "\nНе могу создать файл.");
    EXPECT_EQ(file.GetPath(), dir.File("current.mp3"));
    EXPECT_EQ(file.GetName(), "current.mp3");
    EXPECT_EQ(LastFile(), dir.File("gone/current.mp3"));
    EXPECT_EQ(file.GetSizeKB(), 0u);

    // Through the dialog, into a folder that does not exist.
    platform::WriteSetting(platform::kLastFile, dir.File("current.mp3"));
    script.answers.push_back(dir.File("missing/talk.mp3"));
    ASSERT_TRUE(file.NewFile(false));
    EXPECT_FALSE(file.CreateEmpty());
    EXPECT_EQ(file.GetPath(), dir.File("current.mp3"));
    EXPECT_EQ(LastFile(), dir.File("current.mp3"));

    // With no file before, there is still none after.
    CRecordFile fresh(std::make_unique<FixedClock>(), std::make_unique<ScriptedDialogs>(script));
    script.answers.push_back(dir.File("missing/talk.mp3"));
    ASSERT_TRUE(fresh.NewFile(false));
    EXPECT_FALSE(fresh.CreateEmpty());
    EXPECT_EQ(fresh.GetName(), "<No file>");
    EXPECT_EQ(fresh.GetPath(), "");
}

TEST_F(RecordFileTest, DialogOffersTheStandardNameAndTakesTheChoice)
{
    script.answers.push_back(dir.File("talk.mp3"));
    ASSERT_TRUE(file.NewFile(false));
    EXPECT_EQ(script.lastSuggestion, "05mar_0907");
    EXPECT_EQ(file.GetPath(), dir.File("talk.mp3"));
    EXPECT_EQ(file.GetName(), "talk.mp3");
    ASSERT_TRUE(file.CreateEmpty());
    EXPECT_EQ(LastFile(), dir.File("talk.mp3"));
    EXPECT_EQ(ReadWholeFile(dir.File("talk.mp3")), "");
}

TEST_F(RecordFileTest, DialogReplacesAFileTheUserAgreedToReplace)
{
    WriteWholeFile(dir.File("talk.mp3"), "old audio");
    script.answers.push_back(dir.File("talk.mp3"));
    ASSERT_TRUE(file.NewFile(false));
    ASSERT_TRUE(file.CreateEmpty());
    EXPECT_EQ(ReadWholeFile(dir.File("talk.mp3")), "");
    EXPECT_TRUE(messages.Messages().empty());
}

TEST_F(RecordFileTest, DialogNameWithoutExtensionGetsMp3AndKeepsAnUnconfirmedFile)
{
    script.answers.push_back(dir.File("talk"));
    ASSERT_TRUE(file.NewFile(false));
    EXPECT_EQ(file.GetPath(), dir.File("talk.mp3"));
    EXPECT_EQ(file.GetName(), "talk.mp3");
    ASSERT_TRUE(file.CreateEmpty());

    // The overwrite question was about "talk", not "talk.mp3": the existing file stays.
    WriteWholeFile(dir.File("talk.mp3"), "audio");
    script.answers.push_back(dir.File("talk"));
    ASSERT_TRUE(file.NewFile(false));
    EXPECT_FALSE(file.CreateEmpty());
    EXPECT_EQ(ReadWholeFile(dir.File("talk.mp3")), "audio");
    EXPECT_EQ(messages.Messages().size(), 1u);
}

TEST_F(RecordFileTest, ReplacementIsGrantedForOneCreationOnly)
{
    WriteWholeFile(dir.File("talk.mp3"), "old audio");
    script.answers.push_back(dir.File("talk.mp3"));
    ASSERT_TRUE(file.NewFile(false));
    ASSERT_TRUE(file.CreateEmpty());
    WriteWholeFile(dir.File("talk.mp3"), "new audio");
    EXPECT_FALSE(file.CreateEmpty());
    EXPECT_EQ(ReadWholeFile(dir.File("talk.mp3")), "new audio");
}

TEST_F(RecordFileTest, CancelledDialogsChangeNothing)
{
    platform::WriteSetting(platform::kLastFile, dir.File("keep.mp3"));
    ASSERT_TRUE(file.OpenExisting(true));
    script.answers.push_back(std::nullopt);
    script.answers.push_back(std::nullopt);
    EXPECT_FALSE(file.NewFile(false));
    EXPECT_FALSE(file.OpenExisting(false));
    EXPECT_EQ(file.GetPath(), dir.File("keep.mp3"));
    EXPECT_EQ(file.GetName(), "keep.mp3");
    EXPECT_EQ(LastFile(), dir.File("keep.mp3"));
    EXPECT_EQ(script.newCalls, 1);
    EXPECT_EQ(script.openCalls, 1);
}

TEST_F(RecordFileTest, OpenDialogRemembersTheChoice)
{
    script.answers.push_back(dir.File("song.mp3"));
    ASSERT_TRUE(file.OpenExisting(false));
    EXPECT_EQ(file.GetPath(), dir.File("song.mp3"));
    EXPECT_EQ(file.GetName(), "song.mp3");
    EXPECT_EQ(LastFile(), dir.File("song.mp3"));
}

TEST_F(RecordFileTest, LastFileModeTakesThePathWithoutCheckingIt)
{
    script.answers.push_back(dir.File("first.mp3"));
    ASSERT_TRUE(file.OpenExisting(false));

    // Empty "LastFile": false, the path is cleared and the name stays.
    platform::WriteSetting(platform::kLastFile, "");
    EXPECT_FALSE(file.OpenExisting(true));
    EXPECT_EQ(file.GetPath(), "");
    EXPECT_EQ(file.GetName(), "first.mp3");

    platform::WriteSetting(platform::kLastFile, dir.File("deleted.mp3"));
    EXPECT_TRUE(file.OpenExisting(true));
    EXPECT_EQ(file.GetName(), "deleted.mp3");
    EXPECT_EQ(file.GetSizeKB(), 0u);

    platform::WriteSetting(platform::kLastFile, "bare.mp3");
    EXPECT_TRUE(file.OpenExisting(true));
    EXPECT_EQ(file.GetName(), "bare.mp3");
    EXPECT_EQ(script.openCalls, 1);
}

TEST_F(RecordFileTest, SizeIsInWholeKibibytes)
{
    const std::string path = dir.File("s.mp3");
    script.answers.push_back(path);
    ASSERT_TRUE(file.OpenExisting(false));
    WriteWholeFile(path, std::string(1023, 'x'));
    EXPECT_EQ(file.GetSizeKB(), 0u);
    WriteWholeFile(path, std::string(1024, 'x'));
    EXPECT_EQ(file.GetSizeKB(), 1u);
    WriteWholeFile(path, std::string(3 * 1024 + 1023, 'x'));
    EXPECT_EQ(file.GetSizeKB(), 3u);
}

TEST_F(RecordFileTest, SizeOfAFileBeyondFourGibibytes)
{
    const std::string path = dir.File("big.mp3");
    {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT, 0600);
        ASSERT_GE(fd, 0);
        // Sparse: no disk space is used.
        const bool grown = ::ftruncate(fd, (5LL << 30) + 2048) == 0;
        ::close(fd);
        if (!grown)
            GTEST_SKIP() << "file system refuses large files";
    }
    script.answers.push_back(path);
    ASSERT_TRUE(file.OpenExisting(false));
    EXPECT_EQ(file.GetSizeKB(), 5u * 1024u * 1024u + 2u);
}

}  // namespace
