#include "files/FileDialogs.h"

#include <wx/app.h>
#include <wx/filedlg.h>

namespace {

const char* const kNewTitle = "Создать файл";
const char* const kOpenTitle = "Открыть файл";
const char* const kFilter = "MPEG аудио файлы (*.MP3)|*.mp3";

std::optional<std::string> Ask(const char* title, const std::string& suggestedName, long style)
{
    wxWindow* owner = wxTheApp != nullptr ? wxTheApp->GetTopWindow() : nullptr;
    wxFileDialog dialog(owner, wxString::FromUTF8(title), wxEmptyString,
                        wxString::FromUTF8(suggestedName), wxString::FromUTF8(kFilter), style);
    if (dialog.ShowModal() != wxID_OK)
        return std::nullopt;
    wxString path = dialog.GetPath();
    // The GTK dialog reads the path back from its native chooser, which knows nothing of a
    // path set while it was not on screen (a test hook answering the dialog); the path kept
    // by the portable part of the dialog is the same choice.
    if (path.empty())
        path = dialog.wxFileDialogBase::GetPath();
    if (path.empty())
        return std::nullopt;
    return std::string(path.utf8_str());
}

}  // namespace

CFileDialogs::~CFileDialogs() = default;

std::optional<std::string> CFileDialogs::AskNewFile(const std::string& suggestedName)
{
    // The working folder is never changed (wxFD_CHANGE_DIR is not given). The default
    // extension is added by CRecordFile, which knows whether the overwrite question covered
    // the name it finally uses.
    return Ask(kNewTitle, suggestedName, wxFD_SAVE | wxFD_OVERWRITE_PROMPT);
}

std::optional<std::string> CFileDialogs::AskExistingFile()
{
    return Ask(kOpenTitle, std::string(), wxFD_OPEN);
}
