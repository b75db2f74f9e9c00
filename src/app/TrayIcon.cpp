#include "app/TrayIcon.h"

#include <cmath>

#include <wx/app.h>
#include <wx/icon.h>
#include <wx/image.h>
#include <wx/menu.h>

#include "app/RemoteControl.h"
#include "controls/FormatTime.h"
#include "platform/ProfileKeys.h"

namespace {

constexpr int kSize = 32;

// The state's picture, drawn pixel by pixel on a transparent square.
wxIcon StatePicture(const std::string& state)
{
    wxImage image(kSize, kSize);
    image.InitAlpha();
    const double c = (kSize - 1) / 2.0;
    for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize; ++x) {
            bool on = false;
            unsigned char r = 0, g = 0, b = 0;
            const double dx = x - c, dy = y - c;
            if (state == "recording") {
                on = dx * dx + dy * dy <= 13.0 * 13.0;
                r = 220, g = 20, b = 20;
            } else if (state == "waiting") {
                // Two triangles meeting at the middle.
                on = std::abs(dy) <= 13.0 && std::abs(dx) <= std::abs(dy) * 0.85 + 1.0;
                r = 240, g = 160, b = 0;
            } else if (state == "playing") {
                on = x >= 8 && x <= 26 && std::abs(dy) <= (26 - x) * 0.7;
                r = 20, g = 170, b = 40;
            } else {
                on = std::abs(dx) <= 10.0 && std::abs(dy) <= 10.0;
                r = 20, g = 170, b = 40;
            }
            image.SetRGB(x, y, r, g, b);
            image.SetAlpha(x, y, on ? 255 : 0);
        }
    }
    wxIcon icon;
    icon.CopyFromBitmap(wxBitmap(image));
    return icon;
}

}  // namespace

CTrayIcon::CTrayIcon(CRemoteControl& control) : m_control(control)
{
    Bind(wxEVT_TASKBAR_LEFT_UP, &CTrayIcon::OnClick, this);
    Bind(wxEVT_MENU, &CTrayIcon::OnMenu, this, kIdRecordStop, kIdExit);
}

CTrayIcon::~CTrayIcon() { RemoveIcon(); }

bool CTrayIcon::Available() { return wxTaskBarIcon::IsAvailable(); }

bool CTrayIcon::Wanted() { return platform::ReadSetting(platform::kTrayIcon) != 0 && Available(); }

void CTrayIcon::ShowState(const platform::RemoteState& state)
{
    m_recording = state.state == "recording" || state.state == "waiting";
    std::string tooltip = "Dravellin Recorder";
    if (state.state == "recording")
        tooltip += "\nЗапись " + FormatTime(static_cast<int>(state.seconds));
    else if (state.state == "waiting")
        tooltip += "\nЗапись ждёт входа";
    else if (state.state == "playing")
        tooltip += "\nВоспроизведение " + FormatTime(static_cast<int>(state.seconds));
    if (!state.file.empty())
        tooltip += "\n" + state.file;
    if (state.state == m_picture && tooltip == m_tooltip && IsIconInstalled())
        return;
    m_picture = state.state;
    m_tooltip = tooltip;
    SetIcon(StatePicture(state.state), wxString::FromUTF8(tooltip));
}

wxMenu* CTrayIcon::CreatePopupMenu()
{
    auto* menu = new wxMenu;
    menu->Append(kIdRecordStop, wxString::FromUTF8(m_recording ? "Остановить запись" : "Начать запись"));
    menu->Append(kIdShowHide, wxString::FromUTF8("Показать или скрыть окно"));
    menu->AppendSeparator();
    menu->Append(kIdExit, wxString::FromUTF8("Выход"));
    return menu;
}

void CTrayIcon::OnClick(wxTaskBarIconEvent&) { m_control.ToggleWindow(); }

void CTrayIcon::OnMenu(wxCommandEvent& event)
{
    switch (event.GetId()) {
    case kIdRecordStop:
        m_control.Post(m_recording ? platform::RemoteCommand::Stop : platform::RemoteCommand::Record);
        break;
    case kIdShowHide: m_control.ToggleWindow(); break;
    case kIdExit:
        m_control.ShowWindow();
        if (wxWindow* top = wxTheApp->GetTopWindow())
            top->Close();
        break;
    default: break;
    }
}
