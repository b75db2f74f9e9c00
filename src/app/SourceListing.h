#pragma once
// `--list-sources`: the sound sources the settings' Sources page offers, for scripts and for
// people who want to know the value the settings store for one. Asks the sound server
// (PulseAudio or PipeWire; on Windows the audio engine) for its list, waiting at most kLimit,
// and prints a line a source: the value stored in [Record] Source= or SecondSource=, a tab, and
// the name the page shows. The first line is the default entry, whose stored value is empty:
// "По умолчанию", with the name of the source it records now in brackets, so that a script
// learns the default too. Inputs follow, then outputs' monitors ("Звук компьютера: <output>"),
// in the page's order. Tabs and line breaks inside a name are printed as spaces, so every line
// has exactly one tab.
//
// main's thread, before the toolkit starts; no window.

#include <chrono>
#include <string>

class CSourceListing {
public:
    // How long the server may take to connect and give its whole list.
    static constexpr std::chrono::seconds kLimit{7};

    // Prints the list to standard output and returns 0; with no server, one that does not
    // answer within kLimit or one without sources, prints the reason to standard error and
    // returns 1.
    static int Run();

    // The lines for the list the server gave last.
    static std::string Lines();
};
