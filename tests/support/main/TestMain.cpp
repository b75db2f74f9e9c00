// Entry point of the non-GUI test executables: every test runs with a settings store in a
// temporary folder of its own process, so no test touches the user's settings.

#include <gtest/gtest.h>

#include "platform/Profile.h"
#include "platform/ProgramPaths.h"
#include "support/TempDir.h"

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    testing_support::TempDir config;
    testing_support::ScopedEnv xdg("XDG_CONFIG_HOME", config.Path());
    platform::SetProgramName("dravellin-recorder");
    platform::SetRegistryKey("Dravellin Software");
    return RUN_ALL_TESTS();
}
