#include "res/TextMenuItem.h"

#include <wx/menu.h>

namespace res {

TextMenuItem::TextMenuItem(wxMenu* menu, int id, const std::string& utf8Text, wxItemKind kind)
    : wxMenuItem(menu, id, DisplayForm(utf8Text), wxString(), kind), m_exactText(utf8Text)
{
}

void TextMenuItem::SetItemLabel(const wxString& text)
{
    m_exactText = text.utf8_string();
    wxMenuItem::SetItemLabel(DisplayForm(m_exactText));
}

wxString TextMenuItem::DisplayForm(const std::string& utf8Text)
{
    const std::size_t tab = utf8Text.find('\t');
    if (tab == std::string::npos)
        return wxString::FromUTF8(utf8Text);
    std::string shown = utf8Text.substr(0, tab + 1);
    for (std::size_t i = tab + 1; i < utf8Text.size(); ++i) {
        if (utf8Text.compare(i, 3, " - ") == 0) {
            shown += '+';
            i += 2;
        } else {
            shown += utf8Text[i];
        }
    }
    return wxString::FromUTF8(shown);
}

std::string TextMenuItem::CommandName(const std::string& utf8Text)
{
    const std::string label = utf8Text.substr(0, utf8Text.find('\t'));
    std::string name;
    for (std::size_t i = 0; i < label.size(); ++i) {
        if (label[i] == '&') {
            if (i + 1 < label.size() && label[i + 1] == '&')
                name += label[++i];
            continue;
        }
        name += label[i];
    }
    const std::size_t end = name.find_last_not_of(' ');
    return end == std::string::npos ? std::string() : name.substr(0, end + 1);
}

std::string MenuItemExactText(wxMenuBar* bar, int id)
{
    wxMenuItem* item = bar ? bar->FindItem(id) : nullptr;
    auto* textItem = dynamic_cast<TextMenuItem*>(item);
    return textItem ? textItem->ExactText() : std::string();
}

}  // namespace res
