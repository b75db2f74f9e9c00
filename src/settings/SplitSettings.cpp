#include "settings/SplitSettings.h"

#include <algorithm>

#include <wx/checkbox.h>
#include <wx/spinctrl.h>
#include <wx/statbox.h>
#include <wx/stattext.h>

#include "platform/ProfileKeys.h"
#include "settings/PageControlIds.h"

using namespace settings;

namespace {

// Off below 1, the top of the range above it.
int Limited(const platform::IntSetting& key, int high)
{
    const int value = platform::ReadSetting(key);
    return value <= 0 ? 0 : std::min(value, high);
}

}  // namespace

void CSplitSettings::Load()
{
    m_minutes = Limited(platform::kSplitMinutes, kMinutesMax);
    m_megabytes = Limited(platform::kSplitMegabytes, kMegabytesMax);
    m_onHour = platform::ReadSetting(platform::kSplitOnHour) > 0 ? 1 : 0;
    if (m_minutes > 0)
        m_minutesShown = m_minutes;
    if (m_megabytes > 0)
        m_megabytesShown = m_megabytes;
    m_readMinutes = m_minutes;
    m_readMegabytes = m_megabytes;
    m_readOnHour = m_onHour;
}

void CSplitSettings::CreateControls(wxWindow* page, int top, const PlaceFn& place)
{
    auto text = [](const char* utf8) { return wxString::FromUTF8(utf8); };
    place(new wxStaticBox(page, wxID_ANY, text("Делить запись на файлы")), 5, top, 211, 60);
    auto spin = [&](int id, int high) {
        return new wxSpinCtrl(page, id, wxEmptyString, wxDefaultPosition, wxDefaultSize, wxSP_ARROW_KEYS, 1, high, 1);
    };
    auto* minutes = new wxCheckBox(page, IDC_SPLIT_BY_MINUTES, text("каждые"));
    place(minutes, 11, top + 12, 50, 10);
    place(spin(IDC_SPLIT_MINUTES, kMinutesMax), 74, top + 10, 56, 12);
    place(new wxStaticText(page, wxID_ANY, text("мин")), 140, top + 12, 40, 8);
    auto* megabytes = new wxCheckBox(page, IDC_SPLIT_BY_MEGABYTES, text("каждые"));
    place(megabytes, 11, top + 29, 50, 10);
    place(spin(IDC_SPLIT_MEGABYTES, kMegabytesMax), 74, top + 27, 56, 12);
    place(new wxStaticText(page, wxID_ANY, text("МБ")), 140, top + 29, 40, 8);
    place(new wxCheckBox(page, IDC_SPLIT_ON_HOUR, text("в начале каждого часа")), 11, top + 46, 190, 10);
    for (wxCheckBox* box : {minutes, megabytes})
        box->Bind(wxEVT_CHECKBOX, [this, page](wxCommandEvent&) { EnableFields(page); });
}

void CSplitSettings::Exchange(bool save, wxWindow* page)
{
    const struct {
        int check, spin;
        int* value;
        int* shown;
    } rows[] = {{IDC_SPLIT_BY_MINUTES, IDC_SPLIT_MINUTES, &m_minutes, &m_minutesShown},
                {IDC_SPLIT_BY_MEGABYTES, IDC_SPLIT_MEGABYTES, &m_megabytes, &m_megabytesShown}};
    for (const auto& row : rows) {
        auto* check = dynamic_cast<wxCheckBox*>(page->FindWindow(row.check));
        auto* spin = dynamic_cast<wxSpinCtrl*>(page->FindWindow(row.spin));
        if (check == nullptr || spin == nullptr)
            continue;
        if (save) {
            *row.shown = spin->GetValue();
            *row.value = check->GetValue() ? *row.shown : 0;
        } else {
            check->SetValue(*row.value > 0);
            spin->SetValue(*row.shown);
        }
    }
    if (auto* hour = dynamic_cast<wxCheckBox*>(page->FindWindow(IDC_SPLIT_ON_HOUR))) {
        if (save)
            m_onHour = hour->GetValue() ? 1 : 0;
        else
            hour->SetValue(m_onHour != 0);
    }
    if (!save)
        EnableFields(page);
}

void CSplitSettings::EnableFields(wxWindow* page)
{
    for (auto [check, spin] : {std::pair{IDC_SPLIT_BY_MINUTES, IDC_SPLIT_MINUTES},
                               std::pair{IDC_SPLIT_BY_MEGABYTES, IDC_SPLIT_MEGABYTES}}) {
        auto* box = dynamic_cast<wxCheckBox*>(page->FindWindow(check));
        if (wxWindow* field = page->FindWindow(spin))
            field->Enable(box != nullptr && box->GetValue());
    }
}

void CSplitSettings::Save()
{
    if (m_minutes != m_readMinutes)
        platform::WriteSetting(platform::kSplitMinutes, m_minutes);
    if (m_megabytes != m_readMegabytes)
        platform::WriteSetting(platform::kSplitMegabytes, m_megabytes);
    if (m_onHour != m_readOnHour)
        platform::WriteSetting(platform::kSplitOnHour, m_onHour);
    m_readMinutes = m_minutes;
    m_readMegabytes = m_megabytes;
    m_readOnHour = m_onHour;
}
