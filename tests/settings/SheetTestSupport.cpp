#include "settings/SheetTestSupport.h"

#include <wx/app.h>
#include <wx/bookctrl.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/radiobut.h>
#include <wx/slider.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/utils.h>

namespace settings_test {
namespace {

// wxWidgets assertions (a dialog the hook did not expect among them) fail the running test
// instead of opening a message box on the test display.
void FailOnAssert(const wxString& file, int line, const wxString& func, const wxString& cond,
                  const wxString& msg)
{
    ADD_FAILURE_AT(file.utf8_str().data(), line)
        << "wx assertion in " << func.utf8_str().data() << ": " << cond.utf8_str().data() << " "
        << msg.utf8_str().data();
}

class AssertEnvironment : public ::testing::Environment {
public:
    void SetUp() override { wxSetAssertHandler(&FailOnAssert); }
};

[[maybe_unused]] const auto* const g_environment =
    ::testing::AddGlobalTestEnvironment(new AssertEnvironment);

void SendScroll(wxSlider* slider, wxEventType type, int position)
{
    wxScrollEvent event(type, slider->GetId(), position, wxHORIZONTAL);
    event.SetEventObject(slider);
    slider->GetEventHandler()->ProcessEvent(event);
}

}  // namespace

int RunSheet(CMySheet& sheet, std::function<int(CMySheetDialog&)> action)
{
    wxTestingModalHook hook;
    const wxExpectModal<CMySheet> expectation(std::move(action));
    hook.AddExpectation(expectation);
    const int result = sheet.DoModal();
    hook.CheckUnmetExpectations();
    return result;
}

int RunSheetOnScreen(CMySheet& sheet, std::function<void(CMySheetDialog&)> body, int closeWith)
{
    wxTheApp->CallAfter([&sheet, &body, closeWith] {
        CMySheetDialog* dialog = sheet.OpenDialog();
        if (dialog == nullptr) {
            ADD_FAILURE() << "the sheet is not open";
            return;
        }
        body(*dialog);
        if (sheet.OpenDialog() == dialog && dialog->IsModal())
            dialog->EndModal(closeWith);
    });
    return sheet.DoModal();
}

void Settle(int rounds)
{
    for (int i = 0; i < rounds; ++i) {
        wxYield();
        wxMilliSleep(10);
    }
}

void Click(wxCheckBox* box, bool checked)
{
    if (box == nullptr)
        return;
    box->SetValue(checked);
    wxCommandEvent event(wxEVT_CHECKBOX, box->GetId());
    event.SetInt(checked ? 1 : 0);
    event.SetEventObject(box);
    box->GetEventHandler()->ProcessEvent(event);
}

void Click(wxRadioButton* radio)
{
    if (radio == nullptr)
        return;
    radio->SetValue(true);
    wxCommandEvent event(wxEVT_RADIOBUTTON, radio->GetId());
    event.SetInt(1);
    event.SetEventObject(radio);
    radio->GetEventHandler()->ProcessEvent(event);
}

void DragThumb(wxSlider* slider, int step)
{
    if (slider != nullptr)
        SendScroll(slider, wxEVT_SCROLL_THUMBTRACK, step);
}

void ReleaseThumb(wxSlider* slider, int step)
{
    if (slider == nullptr)
        return;
    SendScroll(slider, wxEVT_SCROLL_THUMBRELEASE, step);
    SendScroll(slider, wxEVT_SCROLL_CHANGED, slider->GetValue());
}

void StepWithKey(wxSlider* slider, int direction)
{
    if (slider == nullptr)
        return;
    // The control moves first and then reports the step and the end of the movement.
    slider->SetValue(slider->GetValue() + direction);
    SendScroll(slider, direction < 0 ? wxEVT_SCROLL_LINEUP : wxEVT_SCROLL_LINEDOWN, slider->GetValue());
    SendScroll(slider, wxEVT_SCROLL_CHANGED, slider->GetValue());
}

bool IsChecked(CMySheetDialog& dialog, int id)
{
    wxWindow* control = dialog.FindControl(id);
    if (auto* radio = dynamic_cast<wxRadioButton*>(control))
        return radio->GetValue();
    if (auto* box = dynamic_cast<wxCheckBox*>(control))
        return box->GetValue();
    ADD_FAILURE() << "no check box or radio button " << id;
    return false;
}

bool IsEnabled(CMySheetDialog& dialog, int id)
{
    wxWindow* control = dialog.FindControl(id);
    EXPECT_NE(control, nullptr) << "control " << id;
    return control != nullptr && control->IsThisEnabled();
}

std::string LabelOf(CMySheetDialog& dialog, int id)
{
    wxWindow* control = dialog.FindControl(id);
    EXPECT_NE(control, nullptr) << "control " << id;
    return control != nullptr ? std::string(control->GetLabel().utf8_str()) : std::string();
}

std::vector<std::string> EntriesOf(CMySheetDialog& dialog, int id)
{
    std::vector<std::string> entries;
    if (auto* choice = Find<wxChoice>(dialog, id))
        for (const wxString& entry : choice->GetStrings())
            entries.push_back(entry.utf8_string());
    return entries;
}

void ExpectPageFits(CMySheetDialog& dialog, int index)
{
    wxWindow* page = dialog.GetBookCtrl()->GetPage(static_cast<std::size_t>(index));
    const wxRect inside(page->GetClientSize());
    std::vector<wxWindow*> placed;
    for (wxWindow* child : page->GetChildren()) {
        const wxRect rect = child->GetRect();
        const std::string name = child->GetLabel().utf8_string() + " on page " + std::to_string(index);
        EXPECT_TRUE(inside.Contains(rect)) << name << " runs past the page";
        if (dynamic_cast<wxStaticText*>(child) || dynamic_cast<wxCheckBox*>(child) || dynamic_cast<wxRadioButton*>(child)) {
            child->InvalidateBestSize();
            const wxSize needed = child->GetBestSize();
            EXPECT_TRUE(needed.x <= rect.width && needed.y <= rect.height) << name << " is cut short";
        }
        if (dynamic_cast<wxStaticBox*>(child) != nullptr)
            continue;
        for (const wxWindow* other : placed)
            EXPECT_FALSE(other->GetRect().Intersects(rect)) << name << " lies on " << other->GetLabel().utf8_string();
        placed.push_back(child);
    }
}

}  // namespace settings_test
