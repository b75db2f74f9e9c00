#include "platform/MessageBox.h"

#include <cstdio>
#include <mutex>

#include <wx/app.h>
#include <wx/msgdlg.h>

namespace platform {
namespace {

std::mutex g_sinkMutex;
MessageSink g_sink;

void ShowRealMessageBox(const std::string& text, MessageIcon icon)
{
    if (wxTheApp == nullptr || !wxTheApp->IsGUI()) {
        std::fprintf(stderr, "%s\n", text.c_str());
        return;
    }
    const long iconStyle = icon == MessageIcon::Stop          ? wxICON_STOP
                           : icon == MessageIcon::Information ? wxICON_INFORMATION
                                                              : wxICON_EXCLAMATION;
    const long style = wxOK | iconStyle;
    wxMessageBox(wxString::FromUTF8(text), wxTheApp->GetAppName(), style);
}

}  // namespace

void ShowMessage(const std::string& text, MessageIcon icon)
{
    MessageSink sink;
    {
        std::lock_guard<std::mutex> lock(g_sinkMutex);
        sink = g_sink;
    }
    if (sink)
        sink(text, icon);
    else
        ShowRealMessageBox(text, icon);
}

MessageSink SetMessageSink(MessageSink sink)
{
    std::lock_guard<std::mutex> lock(g_sinkMutex);
    MessageSink previous = std::move(g_sink);
    g_sink = std::move(sink);
    return previous;
}

std::string FormatFileMessage(const std::string& path, const std::string& sentence)
{
    std::string text = path + "\n" + sentence;
    constexpr std::size_t kBufferBytes = 1000;
    if (text.size() > kBufferBytes - 1) {
        // Cut on a whole UTF-8 character: a torn one makes the whole text invalid, and the
        // message box would come up blank. Continuation bytes are 10xxxxxx.
        std::size_t cut = kBufferBytes - 1;
        while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
            --cut;
        text.resize(cut);
    }
    return text;
}

}  // namespace platform
