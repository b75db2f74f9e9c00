#pragma once
// Starts the desktop's own programs: the sound mixer on its input or output view, and the
// default handler of a web or mail link. Nothing is reported when a program is missing or fails:
// these are conveniences, and the caller has nothing to do about them. User-interface thread.

#include <functional>
#include <string>
#include <vector>

namespace platform {

enum class MixerView { Input, Output };

// Starts the first mixer found: pavucontrol (or pavucontrol-qt) on its input-devices or
// output-devices tab, otherwise the desktop's sound settings. False when none is installed.
bool StartMixer(MixerView view);

// Opens a URL (https:, mailto:) with the desktop's default handler.
bool OpenUrl(const std::string& url);

// Runs argv[0] found on PATH with arguments, without waiting. Tests replace it to see what
// would be started; an empty runner restores the real one. Returns the previous runner.
using CommandRunner = std::function<bool(const std::vector<std::string>& argv)>;
CommandRunner SetCommandRunner(CommandRunner runner);

// Full path of program on PATH, or "" when it is not there.
std::string FindOnPath(const std::string& program);

}  // namespace platform
