#include "app/SourceListing.h"

#include <cstdio>
#include <thread>

#include "platform/ParentConsole.h"
#include "platform/SoundServer.h"
#include "settings/PageSrc.h"

namespace {

// Control characters (a tab, a line break) would break the line's form: they become spaces.
std::string OnOneLine(std::string text)
{
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            c = ' ';
    return text;
}

int Refuse(const std::string& reason)
{
    platform::PrintText(stderr, "dravellin-recorder: cannot list the sound sources: " + reason + "\n");
    return 1;
}

}  // namespace

int CSourceListing::Run()
{
    using platform::SoundServer;
    using State = SoundServer::State;
    const std::string server = SoundServer::Name();
    if (!SoundServer::Wanted())
        return Refuse("the program does not use " + server + " (SDL_AUDIODRIVER is set, or libpulse is missing)");
    const auto deadline = std::chrono::steady_clock::now() + kLimit;
    SoundServer::Connect();
    while (!SoundServer::Listed()) {
        const State state = SoundServer::Poll();
        if (state == State::Failed || state == State::NotAnswering || std::chrono::steady_clock::now() >= deadline)
            return Refuse(server + " does not answer");
        if (state == State::Ready)
            SoundServer::Watch();  // asks for the list once connected
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (SoundServer::List().empty())
        return Refuse(server + " has no sources");
    platform::PrintText(stdout, Lines());
    std::fflush(stdout);
    return 0;
}

std::string CSourceListing::Lines()
{
    std::string lines = "\t" + OnOneLine(CPageSrc::RecordedSourceLabel(std::string())) + "\n";
    for (const auto& [name, label] : CPageSrc::ListedSources())
        lines += OnOneLine(name) + "\t" + OnOneLine(label) + "\n";
    return lines;
}
