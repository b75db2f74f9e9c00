#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/linux/IniProfileStore.h"
#include "support/TempDir.h"

using platform::IniProfileStore;
using testing_support::ReadWholeFile;
using testing_support::TempDir;
using testing_support::WriteWholeFile;

TEST(IniProfileStore, MissingFileGivesDefaultsAndWritesCreateFolderAndFile)
{
    TempDir dir;
    IniProfileStore store(dir.File("a/b/c.conf"));
    EXPECT_EQ(store.ReadInt("Common", "x_screen", 300), 300);
    EXPECT_EQ(store.ReadString("Common", "LastFile", "dflt"), "dflt");

    EXPECT_TRUE(store.WriteInt("Common", "x_screen", -2000));
    EXPECT_TRUE(store.WriteString("Record", "Name", "value"));
    EXPECT_EQ(store.ReadInt("Common", "x_screen", 300), -2000);
    EXPECT_EQ(store.ReadString("Record", "Name", ""), "value");
    EXPECT_EQ(ReadWholeFile(dir.File("a/b/c.conf")), "[Common]\nx_screen=-2000\n\n[Record]\nName=value\n");
}

TEST(IniProfileStore, RoundTripsAwkwardValuesAndKeepsOtherLines)
{
    TempDir dir;
    const std::string path = dir.File("s.conf");
    WriteWholeFile(path, "; a comment\n[Common]\nStereo mode=1\nother=keep me\n[Extra]\nz=9\n");
    IniProfileStore store(path);

    const std::string nasty = "/tmp/рус ский/a=b\\c\nnext\rline  ";
    ASSERT_TRUE(store.WriteString("Common", "LastFile", nasty));
    EXPECT_EQ(store.ReadString("Common", "LastFile", ""), nasty);
    EXPECT_EQ(store.ReadInt("Common", "Stereo mode", 0), 1);

    ASSERT_TRUE(store.WriteInt("Common", "Stereo mode", 0));
    EXPECT_EQ(store.ReadInt("Common", "Stereo mode", 5), 0);
    const std::string text = ReadWholeFile(path);
    EXPECT_NE(text.find("; a comment\n"), std::string::npos);
    EXPECT_NE(text.find("other=keep me\n"), std::string::npos);
    EXPECT_NE(text.find("[Extra]\nz=9\n"), std::string::npos);
}

TEST(IniProfileStore, IntegersAreThirtyTwoBitValues)
{
    TempDir dir;
    const std::string path = dir.File("s.conf");
    WriteWholeFile(path, "[R]\nbig=4294967295\nneg=-5\nhuge=99999999999\nword=12abc\nempty=\n sp = 7 \n");
    IniProfileStore store(path);
    EXPECT_EQ(store.ReadInt("R", "big", 1), -1);
    EXPECT_EQ(store.ReadInt("R", "neg", 1), -5);
    EXPECT_EQ(store.ReadInt("R", "huge", 1), 1);
    EXPECT_EQ(store.ReadInt("R", "word", 1), 1);
    EXPECT_EQ(store.ReadInt("R", "empty", 1), 1);
    EXPECT_EQ(store.ReadInt("R", "sp", 1), 7);
    EXPECT_EQ(store.ReadInt("Other", "big", 3), 3);
}

TEST(IniProfileStore, GarbledFileReadsAsDefaultsAndIsRepairedByWrites)
{
    TempDir dir;
    const std::string path = dir.File("s.conf");
    std::string garbage;
    for (int i = 0; i < 4096; ++i)
        garbage += static_cast<char>((i * 7919) & 0xFF);
    WriteWholeFile(path, garbage);
    IniProfileStore store(path);
    EXPECT_EQ(store.ReadInt("Common", "x_screen", 300), 300);
    EXPECT_EQ(store.ReadString("Common", "LastFile", ""), "");
    ASSERT_TRUE(store.WriteInt("Common", "x_screen", 12));
    EXPECT_EQ(store.ReadInt("Common", "x_screen", 300), 12);
}

TEST(IniProfileStore, UnwritableFolderLosesTheWriteSilently)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root can write anywhere";
    TempDir dir;
    ::chmod(dir.Path().c_str(), 0500);
    IniProfileStore store(dir.File("sub/s.conf"));
    EXPECT_FALSE(store.WriteInt("Common", "x_screen", 1));
    EXPECT_EQ(store.ReadInt("Common", "x_screen", 300), 300);
    ::chmod(dir.Path().c_str(), 0700);
}

TEST(IniProfileStore, FileInPlaceOfFolderLosesTheWriteSilently)
{
    TempDir dir;
    WriteWholeFile(dir.File("blocker"), "x");
    IniProfileStore store(dir.File("blocker/s.conf"));
    EXPECT_FALSE(store.WriteInt("Common", "x_screen", 1));
    EXPECT_EQ(store.ReadInt("Common", "x_screen", 300), 300);
}

TEST(IniProfileStore, ConcurrentWritersInTwoProcessesLoseNoUpdate)
{
    TempDir dir;
    const std::string path = dir.File("shared.conf");
    constexpr int kWrites = 150;
    pid_t children[2];
    for (int c = 0; c < 2; ++c) {
        children[c] = ::fork();
        ASSERT_GE(children[c], 0);
        if (children[c] == 0) {
            IniProfileStore store(path);
            const std::string section = c == 0 ? "Common" : "Record";
            for (int i = 0; i < kWrites; ++i) {
                store.WriteInt(section, "key" + std::to_string(i), i);
                store.WriteString(section, "last", std::to_string(i));
            }
            ::_exit(0);
        }
    }
    for (pid_t child : children) {
        int status = 0;
        ::waitpid(child, &status, 0);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    IniProfileStore store(path);
    for (const char* section : {"Common", "Record"}) {
        for (int i = 0; i < kWrites; ++i)
            ASSERT_EQ(store.ReadInt(section, "key" + std::to_string(i), -1), i) << section << i;
        EXPECT_EQ(store.ReadString(section, "last", ""), std::to_string(kWrites - 1));
    }
}
