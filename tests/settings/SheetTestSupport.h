#pragma once
// Driving the settings sheet in GUI tests.
//
// wxExpectModal<CMySheet> answers one opening of the sheet under a wxTestingModalHook: it is
// handed the open sheet window (start page built, nothing on screen) and returns the result of
// DoModal, wxID_OK or wxID_CANCEL. RunSheet wraps the hook for a single opening:
//
//     RunSheet(sheet, [](CMySheetDialog& dlg) {
//         settings_test::Click(settings_test::Find<wxCheckBox>(dlg, settings::IDC_AUTORUN), true);
//         return wxID_OK;
//     });
//
// The helpers below act on controls the way the user does: they change the control and send the
// notification the toolkit would send.

#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <wx/testing.h>

#include "settings/MySheet.h"
#include "settings/MySheetDialog.h"

class wxCheckBox;
class wxRadioButton;
class wxSlider;

template <>
class wxExpectModal<CMySheet> : public wxExpectModalBase<CMySheetDialog, wxExpectModal<CMySheet>> {
public:
    using Action = std::function<int(CMySheetDialog&)>;
    explicit wxExpectModal(int result) : m_action([result](CMySheetDialog&) { return result; }) {}
    explicit wxExpectModal(Action action) : m_action(std::move(action)) {}

protected:
    int OnInvoked(CMySheetDialog* dialog) const override { return m_action(*dialog); }

private:
    Action m_action;
};

namespace settings_test {

// One DoModal of sheet answered by action; DoModal's result. A failed expectation fails the test.
int RunSheet(CMySheet& sheet, std::function<int(CMySheetDialog&)> action);

// sheet.DoModal() for real, on screen: body runs on the open sheet from inside its modal loop,
// then the sheet is closed with closeWith unless body closed it already. DoModal's result.
int RunSheetOnScreen(CMySheet& sheet, std::function<void(CMySheetDialog&)> body, int closeWith);
// Lets the display and the toolkit catch up, in rounds of about 10 ms.
void Settle(int rounds);

// The control with id in the open sheet; fails the test when it is missing or of another kind.
template <class T>
T* Find(CMySheetDialog& dialog, int id)
{
    T* control = dynamic_cast<T*>(dialog.FindControl(id));
    EXPECT_NE(control, nullptr) << "control " << id;
    return control;
}

void Click(wxCheckBox* box, bool checked);
void Click(wxRadioButton* radio);
// The thumb dragged to step, before the mouse button is released.
void DragThumb(wxSlider* slider, int step);
// The thumb released at step after a drag.
void ReleaseThumb(wxSlider* slider, int step);
// One arrow-key step to the left (-1) or right (+1), as the keyboard moves the slider.
void StepWithKey(wxSlider* slider, int direction);

bool IsChecked(CMySheetDialog& dialog, int id);
bool IsEnabled(CMySheetDialog& dialog, int id);
// The label of a static control, as UTF-8.
std::string LabelOf(CMySheetDialog& dialog, int id);
// The entries of a list (wxChoice), as UTF-8.
std::vector<std::string> EntriesOf(CMySheetDialog& dialog, int id);

// The page at index as laid out on screen: every control inside the page, no two controls but
// group boxes on top of each other, and no text (static, check box, radio button) narrower or
// lower than the toolkit needs to show it whole. Fails the test naming the control otherwise.
void ExpectPageFits(CMySheetDialog& dialog, int index);

}  // namespace settings_test
