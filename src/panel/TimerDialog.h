#pragma once
// The "Таймер" dialog: when a recording starts (now, or at a clock time), when it stops (by
// hand, after a duration, or at a clock time) and into which file (the current one, appended to
// as Record does, or a new file with the standard name). OK checks the entries against the
// clock; a refusal is told in a message and the dialog stays open with the entries as typed.
// ShowModal gives wxID_OK with Plan() filled, wxID_CANCEL, or kTimerDisarm when the armed timer
// is to be cancelled. User-interface thread only.

#include <wx/dialog.h>

#include "panel/TimerEntries.h"

class CClock;
class wxRadioButton;
class wxTextCtrl;
class wxButton;

// Control ids, for tests and the dialog's own handlers.
inline constexpr int IDC_TIMER_START_NOW = 1201;
inline constexpr int IDC_TIMER_START_AT = 1202;
inline constexpr int IDC_TIMER_START_TIME = 1203;
inline constexpr int IDC_TIMER_STOP_NEVER = 1204;
inline constexpr int IDC_TIMER_STOP_AFTER = 1205;
inline constexpr int IDC_TIMER_DURATION = 1206;
inline constexpr int IDC_TIMER_STOP_AT = 1207;
inline constexpr int IDC_TIMER_STOP_TIME = 1208;
inline constexpr int IDC_TIMER_CURRENT_FILE = 1209;
inline constexpr int IDC_TIMER_NEW_FILE = 1210;
inline constexpr int IDC_TIMER_DISARM = 1211;
// The result of the "Отменить таймер" button.
inline constexpr int kTimerDisarm = IDC_TIMER_DISARM;

class CTimerDialog : public wxDialog {
public:
    // armed: the plan now armed, if any, shown in the fields and cancellable.
    CTimerDialog(wxWindow* parent, const CClock& clock, const TimerPlan* armed);

    const TimerPlan& Plan() const { return m_plan; }
    TimerEntries Entries() const;

private:
    void OnOk(wxCommandEvent& event);
    void OnDisarm(wxCommandEvent& event);
    void OnChoice(wxCommandEvent& event);
    // Each time field is enabled with its own choice.
    void EnableFields();

    const CClock& m_clock;
    TimerPlan m_plan;
    wxRadioButton* m_startNow = nullptr;
    wxRadioButton* m_startAt = nullptr;
    wxTextCtrl* m_startTime = nullptr;
    wxRadioButton* m_stopNever = nullptr;
    wxRadioButton* m_stopAfter = nullptr;
    wxTextCtrl* m_duration = nullptr;
    wxRadioButton* m_stopAt = nullptr;
    wxTextCtrl* m_stopTime = nullptr;
    wxRadioButton* m_currentFile = nullptr;
    wxRadioButton* m_newFile = nullptr;
};
