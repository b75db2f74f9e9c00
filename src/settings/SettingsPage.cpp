#include "settings/SettingsPage.h"

#include <algorithm>

#include <wx/checkbox.h>
#include <wx/radiobut.h>
#include <wx/window.h>

CSettingsPage::CSettingsPage(int templateId, const char* captionUtf8, wxSize templateSize)
    : m_templateId(templateId), m_caption(wxString::FromUTF8(captionUtf8)), m_templateSize(templateSize)
{
}

CSettingsPage::~CSettingsPage() = default;

void CSettingsPage::CreatePageWindow(wxWindow* page)
{
    if (m_window != nullptr || page == nullptr)
        return;
    m_window = page;
    CreateControls();
    OnInitDialog();
}

void CSettingsPage::OnSetActive()
{
    if (m_window != nullptr)
        DoDataExchange(false);
}

void CSettingsPage::OnKillActive()
{
    if (m_window != nullptr)
        DoDataExchange(true);
}

void CSettingsPage::ReleaseWindow() { m_window = nullptr; }

bool CSettingsPage::OnInitDialog()
{
    DoDataExchange(false);
    return true;
}

wxRect CSettingsPage::DialogRect(int x, int y, int width, int height, wxWindow* control) const
{
    const wxPoint origin = m_window->ConvertDialogToPixels(wxPoint(x, y));
    const wxSize size = m_window->ConvertDialogToPixels(wxSize(width, height));
    wxRect rect(origin, size);
    if (control != nullptr) {
        const wxSize natural = control->GetBestSize();
        if (natural.y > rect.height) {
            rect.y -= (natural.y - rect.height) / 2;
            rect.height = natural.y;
        }
        rect.width = std::max(rect.width, natural.x);
    }
    return rect;
}

void CSettingsPage::Place(wxWindow* control, int x, int y, int width, int height) const
{
    control->SetSize(DialogRect(x, y, width, height, control));
}

wxWindow* CSettingsPage::FindControl(int id) const
{
    return m_window != nullptr ? m_window->FindWindow(id) : nullptr;
}

void CSettingsPage::ExchangeRadio(bool save, std::initializer_list<int> ids, int& value) const
{
    int index = 0;
    if (save) {
        for (const int id : ids) {
            const auto* radio = Control<wxRadioButton>(id);
            if (radio != nullptr && radio->GetValue()) {
                value = index;
                return;
            }
            ++index;
        }
        return;
    }
    for (const int id : ids) {
        if (auto* radio = Control<wxRadioButton>(id))
            radio->SetValue(index == value);
        ++index;
    }
}

void CSettingsPage::ExchangeCheck(bool save, int id, int& value) const
{
    auto* box = Control<wxCheckBox>(id);
    if (box == nullptr)
        return;
    if (save)
        value = box->GetValue() ? 1 : 0;
    else
        box->SetValue(value != 0);
}
