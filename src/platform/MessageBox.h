#pragma once
// The program's message box: a fixed sentence, an OK button, an icon and the program's name as
// caption. Every failure the program reports goes through ShowMessage, so tests can install a
// sink that records messages instead of showing them.
//
// Thread: user-interface thread only. Engines that find a failure on a worker thread raise a
// flag the user-interface thread reads; they never call ShowMessage from there.

#include <functional>
#include <string>

namespace platform {

enum class MessageIcon { Stop, Exclamation, Information };

using MessageSink = std::function<void(const std::string& text, MessageIcon icon)>;

// Shows text (UTF-8) with the given icon through the installed sink, or the real message box
// when none is installed.
void ShowMessage(const std::string& text, MessageIcon icon);

// Replaces the sink and returns the previous one; an empty sink restores the real message box.
MessageSink SetMessageSink(MessageSink sink);

// "%s\n%s" of a path and a sentence, cut to what a 1000-byte buffer holds.
std::string FormatFileMessage(const std::string& path, const std::string& sentence);

}  // namespace platform
