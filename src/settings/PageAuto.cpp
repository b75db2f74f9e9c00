#include "settings/PageAuto.h"

#include <wx/checkbox.h>

#include "platform/ProfileKeys.h"
#include "res/ResourceIds.h"
#include "settings/PageControlIds.h"
#include "settings/RecordSettings.h"

using namespace settings;

CPageAuto::CPageAuto() : CSettingsPage(res::IDD_PAGE_AUTO, "Автозапись", wxSize(221, 185))
{
    PersistKeepAwake(true);
    m_handsFree.Load();
    m_split.Load();
}

void CPageAuto::PersistKeepAwake(bool load)
{
    if (load) {
        m_keepAwake = record_format::NormalizeSwitch(platform::ReadSetting(platform::kKeepAwake));
        m_readKeepAwake = m_keepAwake;
    } else {
        platform::WriteSetting(platform::kKeepAwake, m_keepAwake);
        m_readKeepAwake = m_keepAwake;
    }
}

void CPageAuto::OnOK()
{
    if (m_window == nullptr)
        return;
    DoDataExchange(true);
    if (m_keepAwake != m_readKeepAwake)
        PersistKeepAwake(false);
    m_handsFree.Save();
    m_split.Save();
}

void CPageAuto::CreateControls()
{
    wxWindow* page = m_window;
    // Voice activation with its three values, then the seconds kept before Record: 5 to 101.
    m_handsFree.CreateControls(page, 5, [this](wxWindow* c, int x, int y, int w, int h) { Place(c, x, y, w, h); });
    Place(new wxCheckBox(page, IDC_KEEP_AWAKE, wxString::FromUTF8("Не давать компьютеру засыпать во время записи")),
          5, 106, 211, 10);
    m_split.CreateControls(page, 121, [this](wxWindow* c, int x, int y, int w, int h) { Place(c, x, y, w, h); });
}

void CPageAuto::DoDataExchange(bool save)
{
    ExchangeCheck(save, IDC_KEEP_AWAKE, m_keepAwake);
    m_handsFree.Exchange(save, m_window);
    m_split.Exchange(save, m_window);
}
