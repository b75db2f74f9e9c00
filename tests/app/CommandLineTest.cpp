#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/CommandLine.h"

namespace {

using Action = CCommandLine::Action;

CCommandLine Parse(const std::vector<std::string>& args)
{
    return CCommandLine("/usr/bin/dravellin-recorder", args);
}

}  // namespace

TEST(CommandLine, NoArgumentsRunsWithoutAFile)
{
    const CCommandLine line = Parse({});
    EXPECT_EQ(line.GetAction(), Action::Run);
    EXPECT_EQ(line.File(), "");
    EXPECT_EQ(line.FullFilePath(), "");
}

TEST(CommandLine, OneFileIsOpenedByItsFullPath)
{
    const std::string cwd = std::filesystem::current_path().string();
    EXPECT_EQ(Parse({"/music/a b.mp3"}).FullFilePath(), "/music/a b.mp3");
    EXPECT_EQ(Parse({"take.mp3"}).FullFilePath(), cwd + "/take.mp3");
    EXPECT_EQ(Parse({"./sub/../take.mp3"}).FullFilePath(), cwd + "/take.mp3");
    // After "--" a name may start with a dash; a lone dash is a name, not an option.
    const CCommandLine dashed = Parse({"--", "-odd.mp3"});
    EXPECT_EQ(dashed.GetAction(), Action::Run);
    EXPECT_EQ(dashed.FullFilePath(), cwd + "/-odd.mp3");
    EXPECT_EQ(Parse({"-"}).File(), "-");
}

TEST(CommandLine, HelpAndVersionWinOverAFile)
{
    EXPECT_EQ(Parse({"--help"}).GetAction(), Action::Help);
    EXPECT_EQ(Parse({"a.mp3", "--help"}).GetAction(), Action::Help);
    EXPECT_EQ(Parse({"--version"}).GetAction(), Action::Version);
    EXPECT_EQ(Parse({"--version", "--help"}).GetAction(), Action::Help);
    const std::string help = Parse({"--help"}).HelpText();
    EXPECT_EQ(help.rfind("Usage: dravellin-recorder [FILE]\n", 0), 0u) << help;
    EXPECT_NE(help.find("--version"), std::string::npos);
    EXPECT_EQ(CCommandLine::VersionText(), "Dravellin Recorder 1.0 beta\n");
}

TEST(CommandLine, WrongUseIsOneLineNamingTheCulprit)
{
    const struct {
        std::vector<std::string> args;
        const char* culprit;
    } cases[] = {
        {{"--bogus"}, "'--bogus'"},
        {{"-x"}, "'-x'"},
        {{"--help=all"}, "'--help=all'"},
        {{"--Version"}, "'--Version'"},
        {{"a.mp3", "--bogus", "--worse"}, "'--bogus'"},
        {{"--help", "--bogus"}, "'--bogus'"},
        {{"a.mp3", "b.mp3"}, "'b.mp3'"},
        {{""}, "empty file name"},
        {{"--toggle", "--toggle"}, "'--toggle' and '--toggle'"},
        {{"--record", "--stop"}, "'--record' and '--stop'"},
        {{"--status", "a.mp3"}, "'--status' takes no file"},
        {{"--list-sources", "a.mp3"}, "'--list-sources' takes no file"},
        {{"--list-sources", "--record"}, "'--list-sources' and '--record'"},
    };
    for (const auto& c : cases) {
        const CCommandLine line = Parse(c.args);
        SCOPED_TRACE(c.culprit);
        EXPECT_EQ(line.GetAction(), Action::Error);
        const std::string& error = line.ErrorText();
        EXPECT_EQ(error.rfind("dravellin-recorder: ", 0), 0u) << error;
        EXPECT_NE(error.find(c.culprit), std::string::npos) << error;
        // The fault's line, then the usage lines.
        EXPECT_LT(error.find(c.culprit), error.find('\n')) << error;
        EXPECT_NE(error.find("\nUsage: dravellin-recorder [FILE]\n"), std::string::npos) << error;
    }
    EXPECT_EQ(CCommandLine::kUsageError, 64);
    EXPECT_EQ(Parse({"--toggle"}).GetAction(), Action::Toggle);
    EXPECT_EQ(Parse({"--list-sources"}).GetAction(), Action::ListSources);
    EXPECT_EQ(Parse({"--", "--stop"}).GetAction(), Action::Run);
}
