// The automatic-start entry: where it goes, what its Exec line says, and how it is written,
// rewritten and removed.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include "platform/Autostart.h"
#include "platform/ProgramPaths.h"
#include "support/TempDir.h"

using testing_support::ReadWholeFile;
using testing_support::ScopedEnv;
using testing_support::TempDir;
using testing_support::WriteWholeFile;

namespace {

bool Exists(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

class AutostartTest : public ::testing::Test {
protected:
    TempDir m_config;
    ScopedEnv m_xdg{"XDG_CONFIG_HOME", m_config.Path()};
    std::string m_entry = m_config.Path() + "/autostart/Palimbor.desktop";
};

}  // namespace

TEST(DesktopExec, PlainPathStaysUnquoted)
{
    EXPECT_EQ(platform::DesktopExecArgument("/usr/bin/dravellin-recorder"), "/usr/bin/dravellin-recorder");
}

TEST(DesktopExec, PathWithReservedCharactersIsQuotedAndEscaped)
{
    EXPECT_EQ(platform::DesktopExecArgument("/home/a b/rec"), "\"/home/a b/rec\"");
    // Inside quotes " ` $ \ get a backslash; the string escape then doubles every backslash.
    EXPECT_EQ(platform::DesktopExecArgument("/x/$HOME/rec"), "\"/x/\\\\$HOME/rec\"");
    EXPECT_EQ(platform::DesktopExecArgument("/x/a\"b"), "\"/x/a\\\\\"b\"");
    EXPECT_EQ(platform::DesktopExecArgument("/x/a\\b"), "\"/x/a\\\\\\\\b\"");
    EXPECT_EQ(platform::DesktopExecArgument("/x/`id`"), "\"/x/\\\\`id\\\\`\"");
    EXPECT_EQ(platform::DesktopExecArgument("/x/it's"), "\"/x/it's\"");
    EXPECT_EQ(platform::DesktopExecArgument("/x/a;b&c|d"), "\"/x/a;b&c|d\"");
}

TEST(DesktopExec, PercentSignsAndControlCharactersAreEscaped)
{
    EXPECT_EQ(platform::DesktopExecArgument("/x/100%/rec"), "/x/100%%/rec");
    EXPECT_EQ(platform::DesktopExecArgument("/x/a\nb"), "\"/x/a\\nb\"");
    EXPECT_EQ(platform::DesktopExecArgument("/x/a\tb"), "\"/x/a\\tb\"");
}

TEST(DesktopExec, EntryNamesTheProgramAndStartsIt)
{
    EXPECT_EQ(platform::AutostartDesktopEntry("Palimbor", "/opt/my rec/dravellin-recorder"),
              "[Desktop Entry]\n"
              "Type=Application\n"
              "Name=Palimbor\n"
              "Exec=\"/opt/my rec/dravellin-recorder\"\n"
              "Terminal=false\n"
              "X-GNOME-Autostart-enabled=true\n");
}

TEST_F(AutostartTest, LocationFollowsXdgConfigHome)
{
    EXPECT_EQ(platform::AutostartLocation("Palimbor"), m_entry);
}

TEST_F(AutostartTest, LocationFallsBackToHomeConfig)
{
    TempDir home;
    ScopedEnv homeEnv("HOME", home.Path());
    ScopedEnv xdg("XDG_CONFIG_HOME", "");
    EXPECT_EQ(platform::AutostartLocation("Palimbor"), home.Path() + "/.config/autostart/Palimbor.desktop");
}

TEST_F(AutostartTest, OnWritesEntryStartingTheRunningExecutable)
{
    ASSERT_TRUE(platform::SetAutostart("Palimbor", true));
    const std::string text = ReadWholeFile(m_entry);
    EXPECT_NE(text.find("\nExec=" + platform::DesktopExecArgument(platform::ExecutablePath()) + "\n"),
              std::string::npos)
        << text;
    EXPECT_EQ(text.rfind("[Desktop Entry]\n", 0), 0u);
}

TEST_F(AutostartTest, OnRewritesAStaleEntryWithTheCurrentPath)
{
    ASSERT_TRUE(platform::SetAutostart("Palimbor", true));
    WriteWholeFile(m_entry, "[Desktop Entry]\nType=Application\nExec=/old/place/recorder\n");
    ASSERT_TRUE(platform::SetAutostart("Palimbor", true));
    EXPECT_EQ(ReadWholeFile(m_entry),
              platform::AutostartDesktopEntry("Palimbor", platform::ExecutablePath()));
}

TEST_F(AutostartTest, OffRemovesEntryAndSucceedsWhenAlreadyGone)
{
    ASSERT_TRUE(platform::SetAutostart("Palimbor", true));
    ASSERT_TRUE(Exists(m_entry));
    EXPECT_TRUE(platform::SetAutostart("Palimbor", false));
    EXPECT_FALSE(Exists(m_entry));
    EXPECT_TRUE(platform::SetAutostart("Palimbor", false));
}

TEST_F(AutostartTest, OffWithoutAutostartFolderSucceedsAndCreatesNothing)
{
    EXPECT_TRUE(platform::SetAutostart("Palimbor", false));
    EXPECT_FALSE(Exists(m_config.Path() + "/autostart"));
}

TEST_F(AutostartTest, FolderThatCannotBeCreatedFailsWithoutChanges)
{
    // A plain file where the folder should be: no folder can be made there, root or not.
    WriteWholeFile(m_config.Path() + "/autostart", "not a folder");
    EXPECT_FALSE(platform::SetAutostart("Palimbor", true));
    EXPECT_FALSE(platform::SetAutostart("Palimbor", false));
    EXPECT_EQ(ReadWholeFile(m_config.Path() + "/autostart"), "not a folder");
}

TEST_F(AutostartTest, OtherEntriesInTheFolderAreLeftAlone)
{
    ASSERT_TRUE(platform::SetAutostart("Palimbor", true));
    const std::string other = m_config.Path() + "/autostart/other.desktop";
    WriteWholeFile(other, "[Desktop Entry]\n");
    ASSERT_TRUE(platform::SetAutostart("Palimbor", false));
    EXPECT_EQ(ReadWholeFile(other), "[Desktop Entry]\n");
}
