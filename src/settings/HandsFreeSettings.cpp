#include "settings/HandsFreeSettings.h"

#include <wx/checkbox.h>
#include <wx/spinctrl.h>
#include <wx/stattext.h>

#include "platform/ProfileKeys.h"
#include "settings/PageControlIds.h"

using namespace settings;

namespace {

int InRange(const platform::IntSetting& key, int low, int high)
{
    const int value = platform::ReadSetting(key);
    return value >= low && value <= high ? value : key.defaultValue;
}

}  // namespace

void CHandsFreeSettings::Load()
{
    m_voice = platform::ReadSetting(platform::kVoiceActivated) != 0 ? 1 : 0;
    m_threshold = InRange(platform::kVoiceThreshold, kThresholdMin, kThresholdMax);
    m_hold = InRange(platform::kVoiceHold, kHoldMin, kHoldMax);
    m_preRoll = InRange(platform::kVoicePreRoll, kPreRollMin, kPreRollMax);
    m_keepBefore = InRange(platform::kKeepBefore, 0, kKeepBeforeMax);
    if (m_keepBefore > 0)
        m_keepSeconds = m_keepBefore;
    m_readVoice = m_voice;
    m_readThreshold = m_threshold;
    m_readHold = m_hold;
    m_readPreRoll = m_preRoll;
    m_readKeepBefore = m_keepBefore;
}

void CHandsFreeSettings::CreateControls(wxWindow* page, int top, const PlaceFn& place)
{
    auto text = [](const char* utf8) { return wxString::FromUTF8(utf8); };
    auto spin = [&](int id, int low, int high) {
        return new wxSpinCtrl(page, id, wxEmptyString, wxDefaultPosition, wxDefaultSize, wxSP_ARROW_KEYS, low, high,
                              low);
    };
    auto* voice = new wxCheckBox(page, IDC_VOICE_ACTIVATED, text("Писать только звук громче порога (по голосу)"));
    place(voice, 5, top, 211, 10);
    // A spin control is as wide as the toolkit makes it (about 62 dialog units with GTK), so
    // two of them with their labels do not fit on one line of the page: one per line, with room
    // between the longest label and the spin control.
    place(new wxStaticText(page, wxID_ANY, text("Порог, дБ:")), 15, top + 16, 52, 8);
    place(spin(IDC_VOICE_THRESHOLD, kThresholdMin, kThresholdMax), 74, top + 14, 56, 12);
    place(new wxStaticText(page, wxID_ANY, text("Пауза, с:")), 15, top + 33, 52, 8);
    place(spin(IDC_VOICE_HOLD, kHoldMin, kHoldMax), 74, top + 31, 56, 12);
    place(new wxStaticText(page, wxID_ANY, text("Предзапись, с:")), 15, top + 50, 52, 8);
    place(spin(IDC_VOICE_PRE_ROLL, kPreRollMin, kPreRollMax), 74, top + 48, 56, 12);
    voice->Bind(wxEVT_CHECKBOX, [this, page](wxCommandEvent&) { EnableVoiceFields(page); });

    auto* keep = new wxCheckBox(page, IDC_KEEP_BEFORE, text("Держать микрофон открытым: начинать запись"));
    place(keep, 5, top + 67, 211, 10);
    place(new wxStaticText(page, wxID_ANY, text("с последних, с:")), 15, top + 83, 52, 8);
    place(spin(IDC_KEEP_BEFORE_SECONDS, 1, kKeepBeforeMax), 74, top + 81, 56, 12);
    place(new wxStaticText(page, wxID_ANY, text("(только в памяти)")), 136, top + 83, 80, 8);
    keep->Bind(wxEVT_CHECKBOX, [this, page](wxCommandEvent&) { EnableKeepFields(page); });
}

void CHandsFreeSettings::Exchange(bool save, wxWindow* page)
{
    auto* voice = dynamic_cast<wxCheckBox*>(page->FindWindow(IDC_VOICE_ACTIVATED));
    if (voice != nullptr) {
        if (save)
            m_voice = voice->GetValue() ? 1 : 0;
        else
            voice->SetValue(m_voice != 0);
    }
    const std::pair<int, int*> spins[] = {
        {IDC_VOICE_THRESHOLD, &m_threshold}, {IDC_VOICE_HOLD, &m_hold}, {IDC_VOICE_PRE_ROLL, &m_preRoll}};
    for (const auto& [id, value] : spins) {
        auto* control = dynamic_cast<wxSpinCtrl*>(page->FindWindow(id));
        if (control == nullptr)
            continue;
        if (save)
            *value = control->GetValue();
        else
            control->SetValue(*value);
    }
    auto* keep = dynamic_cast<wxCheckBox*>(page->FindWindow(IDC_KEEP_BEFORE));
    auto* keepSeconds = dynamic_cast<wxSpinCtrl*>(page->FindWindow(IDC_KEEP_BEFORE_SECONDS));
    if (keep != nullptr && keepSeconds != nullptr) {
        if (save) {
            m_keepSeconds = keepSeconds->GetValue();
            m_keepBefore = keep->GetValue() ? m_keepSeconds : 0;
        } else {
            keep->SetValue(m_keepBefore > 0);
            keepSeconds->SetValue(m_keepSeconds);
        }
    }
    if (!save) {
        EnableVoiceFields(page);
        EnableKeepFields(page);
    }
}

void CHandsFreeSettings::EnableKeepFields(wxWindow* page)
{
    auto* keep = dynamic_cast<wxCheckBox*>(page->FindWindow(IDC_KEEP_BEFORE));
    if (wxWindow* seconds = page->FindWindow(IDC_KEEP_BEFORE_SECONDS))
        seconds->Enable(keep != nullptr && keep->GetValue());
}

void CHandsFreeSettings::EnableVoiceFields(wxWindow* page)
{
    auto* voice = dynamic_cast<wxCheckBox*>(page->FindWindow(IDC_VOICE_ACTIVATED));
    const bool on = voice != nullptr && voice->GetValue();
    for (int id : {IDC_VOICE_THRESHOLD, IDC_VOICE_HOLD, IDC_VOICE_PRE_ROLL})
        if (wxWindow* control = page->FindWindow(id))
            control->Enable(on);
}

void CHandsFreeSettings::Save()
{
    if (m_voice != m_readVoice)
        platform::WriteSetting(platform::kVoiceActivated, m_voice);
    if (m_threshold != m_readThreshold)
        platform::WriteSetting(platform::kVoiceThreshold, m_threshold);
    if (m_hold != m_readHold)
        platform::WriteSetting(platform::kVoiceHold, m_hold);
    if (m_preRoll != m_readPreRoll)
        platform::WriteSetting(platform::kVoicePreRoll, m_preRoll);
    if (m_keepBefore != m_readKeepBefore)
        platform::WriteSetting(platform::kKeepBefore, m_keepBefore);
    m_readVoice = m_voice;
    m_readThreshold = m_threshold;
    m_readHold = m_hold;
    m_readPreRoll = m_preRoll;
    m_readKeepBefore = m_keepBefore;
}
