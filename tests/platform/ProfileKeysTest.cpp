#include <gtest/gtest.h>

#include <set>

#include "platform/ProfileKeys.h"
#include "platform/ProgramPaths.h"
#include "support/TempDir.h"

using namespace platform;

namespace {

struct Expected {
    const IntSetting& setting;
    const char* section;
    const char* key;
    int def;
};

}  // namespace

TEST(ProfileKeys, EveryIntegerKeyHasItsSectionAndDefault)
{
    const Expected table[] = {
        {kXScreen, "Common", "x_screen", 300},   {kYScreen, "Common", "y_screen", 200},
        {kMinimized, "Common", "Minimized", 0},  {kAlwaysOnTop, "Common", "AlwaysOnTop", 0},
        {kLoader, "Common", "Loader", 0},        {kAutorun, "Common", "Autorun", 0},
        {kBitrate, "Record", "Bitrate", 3},      {kStereoMode, "Record", "Stereo mode", 0},
        {kSampleFreq, "Record", "SampleFreq", 1}, {kAutoFreq, "Record", "Auto freq", 1},
    };
    std::set<std::string> seen;
    for (const Expected& e : table) {
        EXPECT_STREQ(e.setting.section, e.section);
        EXPECT_STREQ(e.setting.key, e.key);
        EXPECT_EQ(e.setting.defaultValue, e.def) << e.key;
        seen.insert(e.key);
    }
    for (const IntSetting& s : kAllIntSettings)
        EXPECT_EQ(seen.count(s.key), 1u) << s.key;
    EXPECT_STREQ(kLastFile.section, "Common");
    EXPECT_STREQ(kLastFile.key, "LastFile");
    EXPECT_STREQ(kLastFile.defaultValue, "");
}

TEST(ProfileKeys, StoreLivesUnderCompanyFolderNamedAfterProgram)
{
    testing_support::TempDir config;
    testing_support::ScopedEnv xdg("XDG_CONFIG_HOME", config.Path());
    SetRegistryKey("Dravellin Software");
    const std::string expected = config.Path() + "/Dravellin Software/dravellin-recorder.conf";
    EXPECT_EQ(ProfileFilePath(), expected);

    for (const IntSetting& s : kAllIntSettings)
        EXPECT_EQ(ReadSetting(s), s.defaultValue) << s.key;
    EXPECT_EQ(ReadSetting(kLastFile), "");

    WriteSetting(kXScreen, 40);
    WriteSetting(kLastFile, "/home/u/a b.mp3");
    EXPECT_EQ(ReadSetting(kXScreen), 40);
    EXPECT_EQ(ReadSetting(kLastFile), "/home/u/a b.mp3");
    const std::string text = testing_support::ReadWholeFile(expected);
    EXPECT_NE(text.find("[Common]\n"), std::string::npos);
    EXPECT_NE(text.find("x_screen=40\n"), std::string::npos);
    EXPECT_NE(text.find("LastFile=/home/u/a b.mp3\n"), std::string::npos);
}

TEST(ProfileKeys, NoStoreSelectedMeansDefaultsAndDroppedWrites)
{
    SetProfileStore(nullptr);
    WriteSetting(kBitrate, 9);
    EXPECT_EQ(ReadSetting(kBitrate), 3);
    SetRegistryKey("Dravellin Software");
}
