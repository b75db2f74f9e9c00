#include "settings/PageCom.h"

#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/radiobut.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/taskbar.h>

#include "platform/Autostart.h"
#include "platform/GlobalHotkey.h"
#include "platform/ProfileKeys.h"
#include "res/ResourceIds.h"
#include "settings/PageControlIds.h"
#include "settings/RecordSettings.h"

using namespace settings;

CPageCom::CPageCom() : CSettingsPage(res::IDD_PAGE_COMMON, "Общие", wxSize(221, 121))
{
    PersistLoader(true);
    PersistAutorun(true);
    PersistMinimized(true);
    PersistTrayIcon(true);
    PersistHotkey(true);
}

void CPageCom::PersistHotkey(bool load)
{
    if (!platform::GlobalHotkey::Supported())
        return;
    if (load)
        m_sHotkey = platform::ReadSetting(platform::kHotkey);
    else
        platform::WriteSetting(platform::kHotkey, m_sHotkey);
}

void CPageCom::PersistTrayIcon(bool load)
{
    if (load)
        m_bTrayIcon = record_format::NormalizeSwitch(platform::ReadSetting(platform::kTrayIcon));
    else
        platform::WriteSetting(platform::kTrayIcon, m_bTrayIcon);
}

void CPageCom::PersistLoader(bool load)
{
    if (load)
        m_nLoader = platform::ReadSetting(platform::kLoader);
    else
        platform::WriteSetting(platform::kLoader, m_nLoader);
}

void CPageCom::PersistMinimized(bool load)
{
    if (load)
        m_bMinimized = record_format::NormalizeSwitch(platform::ReadSetting(platform::kMinimized));
    else
        platform::WriteSetting(platform::kMinimized, m_bMinimized);
}

void CPageCom::PersistAutorun(bool load)
{
    if (load) {
        // The stored switch alone decides; the autostart entry itself is not consulted.
        m_bAutorun = record_format::NormalizeSwitch(platform::ReadSetting(platform::kAutorun));
        return;
    }
    if (!platform::SetAutostart(kAutostartName, m_bAutorun != 0))
        return;
    platform::WriteSetting(platform::kAutorun, m_bAutorun);
}

void CPageCom::OnOK()
{
    DoDataExchange(true);
    PersistLoader(false);
    PersistAutorun(false);
    PersistMinimized(false);
    PersistTrayIcon(false);
    PersistHotkey(false);
}

void CPageCom::CreateControls()
{
    wxWindow* page = m_window;
    auto text = [](const char* utf8) { return wxString::FromUTF8(utf8); };

    // The group boxes come first so that the controls inside them stay above them.
    Place(new wxStaticBox(page, wxID_ANY, text("Действия при запуске")), 5, 5, 211, 51);
    // With the global key's row the box reaches the page's bottom edge.
    const bool hotkeys = platform::GlobalHotkey::Supported();
    Place(new wxStaticBox(page, wxID_ANY, text("Другое")), 5, 58, 211, hotkeys ? 62 : 58);

    Place(new wxRadioButton(page, IDC_LOADER_NOTHING, text("Ничего не делать"), wxDefaultPosition,
                            wxDefaultSize, wxRB_GROUP),
          11, 16, 95, 8);
    Place(new wxRadioButton(page, IDC_LOADER_NEW_FILE, text("Создать новый файл (стандартное имя)")),
          11, 28, 151, 8);
    Place(new wxRadioButton(page, IDC_LOADER_LAST_FILE, text("Загрузить последний открытый файл")),
          11, 41, 148, 8);
    Place(new wxCheckBox(page, IDC_AUTORUN, text(platform::AutostartLabel())), 11, 69, 194, 8);
    Place(new wxCheckBox(page, IDC_MINIMIZED, text("в свернутом состоянии")), 11, 83, 96, 8);
    auto* tray = new wxCheckBox(page, IDC_TRAY_ICON, text("Значок в области уведомлений"));
    Place(tray, 11, 95, 194, 8);
    if (!wxTaskBarIcon::IsAvailable()) {
        // The setting is kept as it is; it takes effect on a desktop that has the area.
        tray->Disable();
        Place(new wxStaticText(page, IDC_TRAY_NOTE, text("(на этом рабочем столе нет области уведомлений)")),
              22, 105, 190, 8);
    }
    if (hotkeys) {
        Place(new wxCheckBox(page, IDC_HOTKEY, text("Запись/стоп клавишами:")), 11, 107, 100, 8);
        auto* keys = new wxChoice(page, IDC_HOTKEY_KEYS);
        for (const std::string& name : platform::GlobalHotkey::Combinations())
            keys->Append(wxString::FromUTF8(name));
        Place(keys, 120, 105, 90, 12);
    }
}

void CPageCom::DoDataExchange(bool save)
{
    ExchangeRadio(save, {IDC_LOADER_NOTHING, IDC_LOADER_NEW_FILE, IDC_LOADER_LAST_FILE}, m_nLoader);
    ExchangeCheck(save, IDC_AUTORUN, m_bAutorun);
    ExchangeCheck(save, IDC_MINIMIZED, m_bMinimized);
    ExchangeCheck(save, IDC_TRAY_ICON, m_bTrayIcon);
    auto* hotkey = Control<wxCheckBox>(IDC_HOTKEY);
    auto* keys = Control<wxChoice>(IDC_HOTKEY_KEYS);
    if (hotkey == nullptr || keys == nullptr)
        return;
    if (save) {
        m_sHotkey = hotkey->IsChecked() && keys->GetSelection() != wxNOT_FOUND
                        ? keys->GetString(keys->GetSelection()).ToStdString(wxConvUTF8)
                        : std::string();
        return;
    }
    // Off shows the first combination, ready to be switched on; a stored name not offered here
    // is shown as off.
    const int index = m_sHotkey.empty() ? wxNOT_FOUND : keys->FindString(wxString::FromUTF8(m_sHotkey), true);
    hotkey->SetValue(index != wxNOT_FOUND);
    keys->SetSelection(index != wxNOT_FOUND ? index : 0);
}
