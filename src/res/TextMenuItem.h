#pragma once
// A menu item that remembers its text exactly as the program set it, "\t" and shortcut included.
//
// wxWidgets parses the text after "\t" as an accelerator of the item and drops what it cannot
// parse ("Ctrl - N"). The program's keys come from the frame's accelerator table only, so the
// item is given a display form that wxWidgets can show ("Ctrl+N"), and ExactText keeps the text
// the program chose for it.

#include <string>

#include <wx/menuitem.h>

class wxMenuBar;

namespace res {

class TextMenuItem : public wxMenuItem {
public:
    TextMenuItem(wxMenu* menu, int id, const std::string& utf8Text, wxItemKind kind = wxITEM_NORMAL);

    // Sets the exact text and shows its display form. Reached through wxMenuBar::SetLabel too.
    void SetItemLabel(const wxString& text) override;

    const std::string& ExactText() const { return m_exactText; }

    // The form shown on screen: "Ctrl - N" becomes "Ctrl+N"; everything else is kept.
    static wxString DisplayForm(const std::string& utf8Text);

    // The command's name without the mnemonic mark and the shortcut: "&Новый... \tCtrl - N"
    // gives "Новый...". "&&" stands for one "&".
    static std::string CommandName(const std::string& utf8Text);

private:
    std::string m_exactText;
};

// The exact text of the item id in bar ("" when there is no such item of this kind).
std::string MenuItemExactText(wxMenuBar* bar, int id);

}  // namespace res
