#pragma once
// The two file dialogs of the current recording file: "Создать файл" for a new file and
// "Открыть файл" for an existing one. Both are wxFileDialogs shown with ShowModal, so GUI tests
// can answer them with wxExpectModal<wxFileDialog>; tests without a GUI can derive from this
// class instead. User-interface thread only.

#include <optional>
#include <string>

class CFileDialogs {
public:
    virtual ~CFileDialogs();

    // Asks for the name of a new file, offering suggestedName (without extension). The dialog
    // asks the user before an existing file is chosen, so a returned path that names an
    // existing file is one the user agreed to replace. Empty when the user cancels.
    virtual std::optional<std::string> AskNewFile(const std::string& suggestedName);

    // Asks for an existing file (which need not exist). Empty when the user cancels.
    virtual std::optional<std::string> AskExistingFile();
};
