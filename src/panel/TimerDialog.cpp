#include "panel/TimerDialog.h"

#include <wx/button.h>
#include <wx/radiobut.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "files/Clock.h"
#include "platform/MessageBox.h"

namespace {

wxString U(const char* utf8) { return wxString::FromUTF8(utf8); }

// "Ч:ММ:СС" of a duration in seconds.
std::string DurationText(std::int64_t seconds)
{
    char text[32];
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
                  static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
    return text;
}

}  // namespace

CTimerDialog::CTimerDialog(wxWindow* parent, const CClock& clock, const TimerPlan* armed)
    : wxDialog(parent, wxID_ANY, U("Таймер")), m_clock(clock)
{
    auto* top = new wxBoxSizer(wxVERTICAL);
    auto* grid = new wxFlexGridSizer(2, wxSize(8, 4));

    auto row = [&](wxWindow* left, wxWindow* right) {
        grid->Add(left, 0, wxALIGN_CENTER_VERTICAL);
        if (right != nullptr)
            grid->Add(right, 0, wxALIGN_CENTER_VERTICAL);
        else
            grid->AddSpacer(0);
    };
    auto heading = [&](const char* text) {
        row(new wxStaticText(this, wxID_ANY, U(text)), nullptr);
    };

    heading("Начало записи:");
    m_startNow = new wxRadioButton(this, IDC_TIMER_START_NOW, U("Сразу"), wxDefaultPosition, wxDefaultSize, wxRB_GROUP);
    row(m_startNow, nullptr);
    m_startAt = new wxRadioButton(this, IDC_TIMER_START_AT, U("В (ЧЧ:ММ)"));
    m_startTime = new wxTextCtrl(this, IDC_TIMER_START_TIME);
    row(m_startAt, m_startTime);

    heading("Остановка:");
    m_stopNever = new wxRadioButton(this, IDC_TIMER_STOP_NEVER, U("Вручную"), wxDefaultPosition, wxDefaultSize,
                                    wxRB_GROUP);
    row(m_stopNever, nullptr);
    m_stopAfter = new wxRadioButton(this, IDC_TIMER_STOP_AFTER, U("Через (Ч:ММ:СС)"));
    m_duration = new wxTextCtrl(this, IDC_TIMER_DURATION);
    row(m_stopAfter, m_duration);
    m_stopAt = new wxRadioButton(this, IDC_TIMER_STOP_AT, U("В (ЧЧ:ММ)"));
    m_stopTime = new wxTextCtrl(this, IDC_TIMER_STOP_TIME);
    row(m_stopAt, m_stopTime);

    heading("Файл:");
    m_currentFile = new wxRadioButton(this, IDC_TIMER_CURRENT_FILE, U("Текущий (дописать в конец)"),
                                      wxDefaultPosition, wxDefaultSize, wxRB_GROUP);
    row(m_currentFile, nullptr);
    m_newFile = new wxRadioButton(this, IDC_TIMER_NEW_FILE, U("Новый, со стандартным именем"));
    row(m_newFile, nullptr);
    top->Add(grid, 0, wxALL, 10);

    auto* buttons = new wxBoxSizer(wxHORIZONTAL);
    auto* disarm = new wxButton(this, IDC_TIMER_DISARM, U("Отменить таймер"));
    disarm->Enable(armed != nullptr);
    buttons->Add(disarm, 0, wxRIGHT, 16);
    buttons->Add(new wxButton(this, wxID_OK, "OK"), 0, wxRIGHT, 4);
    buttons->Add(new wxButton(this, wxID_CANCEL, U("Отмена")));
    top->Add(buttons, 0, wxALL | wxALIGN_RIGHT, 10);
    SetSizerAndFit(top);

    if (armed != nullptr) {
        m_plan = *armed;
        m_startAt->SetValue(true);
        m_startTime->ChangeValue(wxString::FromUTF8(FormatLocalTime(armed->start)));
        if (armed->duration > 0) {
            m_stopAfter->SetValue(true);
            m_duration->ChangeValue(DurationText(armed->duration));
        }
        m_newFile->SetValue(armed->newFile);
    }
    EnableFields();

    Bind(wxEVT_BUTTON, &CTimerDialog::OnOk, this, wxID_OK);
    Bind(wxEVT_BUTTON, &CTimerDialog::OnDisarm, this, IDC_TIMER_DISARM);
    Bind(wxEVT_RADIOBUTTON, &CTimerDialog::OnChoice, this);
}

TimerEntries CTimerDialog::Entries() const
{
    TimerEntries entries;
    entries.startNow = !m_startAt->GetValue();
    entries.startText = m_startTime->GetValue().utf8_string();
    entries.stop = m_stopAfter->GetValue() ? TimerStop::After : m_stopAt->GetValue() ? TimerStop::At : TimerStop::Never;
    entries.durationText = m_duration->GetValue().utf8_string();
    entries.stopText = m_stopTime->GetValue().utf8_string();
    entries.newFile = m_newFile->GetValue();
    return entries;
}

void CTimerDialog::OnOk(wxCommandEvent&)
{
    std::string error;
    TimerPlan plan;
    if (!MakeTimerPlan(Entries(), m_clock.Now(), &plan, &error)) {
        platform::ShowMessage(error, platform::MessageIcon::Exclamation);
        return;
    }
    m_plan = plan;
    EndModal(wxID_OK);
}

void CTimerDialog::OnDisarm(wxCommandEvent&) { EndModal(kTimerDisarm); }

void CTimerDialog::OnChoice(wxCommandEvent&) { EnableFields(); }

void CTimerDialog::EnableFields()
{
    m_startTime->Enable(m_startAt->GetValue());
    m_duration->Enable(m_stopAfter->GetValue());
    m_stopTime->Enable(m_stopAt->GetValue());
}
