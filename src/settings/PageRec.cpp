#include "settings/PageRec.h"

#include <array>

#include <wx/checkbox.h>
#include <wx/radiobut.h>
#include <wx/slider.h>
#include <wx/statbox.h>
#include <wx/stattext.h>

#include "platform/ProfileKeys.h"
#include "res/ResourceIds.h"
#include "settings/PageControlIds.h"

using namespace settings;

namespace {

constexpr std::array<int, record_format::kSampleRates> kFreqRadios{
    IDC_FREQ_8000, IDC_FREQ_11025, IDC_FREQ_22050, IDC_FREQ_44100};

// The tick labels, spaced by hand under the slider's ticks.
constexpr const char* kTickLabels =
    "8      16      24      32     48      64     96     128   160   192    256";

}  // namespace

CPageRec::~CPageRec() = default;

CPageRec::CPageRec() : CSettingsPage(res::IDD_PAGE_RECORD, "Запись", wxSize(221, 103))
{
    PersistBitrate(true);
    PersistStereoMode(true);
    PersistSampleFreq(true);
    PersistAutoFreq(true);
}

int CPageRec::GetBitrate() const { return record_format::BitrateKbps(m_settings.m_nBitrate) * 1000; }

int CPageRec::GetSampleRate() const { return record_format::SampleRateHz(m_settings.m_nSampleFreq); }

int CPageRec::GetStereoMode() const { return record_format::ClampStereoMode(m_settings.m_nStereoMode); }

void CPageRec::PersistBitrate(bool load)
{
    if (load)
        m_settings.m_nBitrate = record_format::ClampBitrateStep(platform::ReadSetting(platform::kBitrate));
    else
        platform::WriteSetting(platform::kBitrate, m_settings.m_nBitrate);
}

void CPageRec::PersistStereoMode(bool load)
{
    if (load)
        m_settings.m_nStereoMode = record_format::ClampStereoMode(platform::ReadSetting(platform::kStereoMode));
    else
        platform::WriteSetting(platform::kStereoMode, m_settings.m_nStereoMode);
}

void CPageRec::PersistSampleFreq(bool load)
{
    if (load)
        m_settings.m_nSampleFreq =
            record_format::ClampSampleFreqIndex(platform::ReadSetting(platform::kSampleFreq));
    else
        platform::WriteSetting(platform::kSampleFreq, m_settings.m_nSampleFreq);
}

void CPageRec::PersistAutoFreq(bool load)
{
    if (load)
        m_settings.m_bAutoFreq = record_format::NormalizeSwitch(platform::ReadSetting(platform::kAutoFreq));
    else
        platform::WriteSetting(platform::kAutoFreq, m_settings.m_bAutoFreq);
}

void CPageRec::OnOK()
{
    if (m_window == nullptr)
        return;
    m_settings.m_nBitrate = SliderStep();
    // The checked rate counts even while the radios are disabled: with the automatic switch on it
    // is the one the automatic rule chose.
    DoDataExchange(true);
    PersistBitrate(false);
    PersistStereoMode(false);
    PersistSampleFreq(false);
    PersistAutoFreq(false);
}

void CPageRec::CreateControls()
{
    wxWindow* page = m_window;
    auto text = [](const char* utf8) { return wxString::FromUTF8(utf8); };

    Place(new wxStaticBox(page, wxID_ANY, text("MP3 битрейт (kbps)")), 5, 5, 211, 51);
    auto* slider = new wxSlider(page, IDC_BITRATE_SLIDER, 0, 0, record_format::kBitrateSteps - 1,
                                wxDefaultPosition, wxDefaultSize, wxSL_HORIZONTAL | wxSL_AUTOTICKS);
    Place(slider, 7, 14, 207, 19);
    Place(new wxStaticText(page, wxID_ANY, text(kTickLabels)), 13, 33, 200, 8);
    Place(new wxStaticText(page, IDC_SIZE_ESTIMATE, text("1 минута записи - XX Mb (1 час - XXX Mb);"),
                           wxDefaultPosition, wxDefaultSize, wxST_NO_AUTORESIZE),
          12, 44, 201, 8);
    Place(new wxStaticBox(page, wxID_ANY, text("Каналы")), 5, 58, 50, 38);
    Place(new wxRadioButton(page, IDC_MONO, text("Моно"), wxDefaultPosition, wxDefaultSize, wxRB_GROUP),
          11, 69, 34, 10);
    Place(new wxRadioButton(page, IDC_STEREO, text("Стерео")), 11, 82, 40, 10);
    Place(new wxStaticBox(page, IDC_FREQ_GROUP, text("Частота сэмплирования (kHz)")), 61, 60, 155, 26);
    Place(new wxRadioButton(page, IDC_FREQ_8000, text("8,000"), wxDefaultPosition, wxDefaultSize,
                            wxRB_GROUP),
          67, 71, 34, 10);
    Place(new wxRadioButton(page, IDC_FREQ_11025, text("11,025")), 101, 71, 38, 10);
    Place(new wxRadioButton(page, IDC_FREQ_22050, text("22,050")), 139, 71, 38, 10);
    Place(new wxRadioButton(page, IDC_FREQ_44100, text("44,100")), 177, 71, 38, 10);
    Place(new wxCheckBox(page, IDC_AUTO_FREQ, text("Автоматически выбирать частоту")), 68, 88, 130, 8);

    // Every notification of the slider, the movements while the thumb is dragged included.
    for (const auto& type :
         {wxEVT_SCROLL_TOP, wxEVT_SCROLL_BOTTOM, wxEVT_SCROLL_LINEUP, wxEVT_SCROLL_LINEDOWN,
          wxEVT_SCROLL_PAGEUP, wxEVT_SCROLL_PAGEDOWN, wxEVT_SCROLL_THUMBTRACK,
          wxEVT_SCROLL_THUMBRELEASE, wxEVT_SCROLL_CHANGED}) {
        slider->Bind(type, &CPageRec::OnSliderEvent, this);
    }
    page->FindWindow(IDC_AUTO_FREQ)->Bind(wxEVT_CHECKBOX, [this](wxCommandEvent&) { OnAutoFreq(); });
}

void CPageRec::DoDataExchange(bool save)
{
    ExchangeCheck(save, IDC_AUTO_FREQ, m_settings.m_bAutoFreq);
    ExchangeRadio(save, {IDC_FREQ_8000, IDC_FREQ_11025, IDC_FREQ_22050, IDC_FREQ_44100},
                  m_settings.m_nSampleFreq);
    ExchangeRadio(save, {IDC_MONO, IDC_STEREO}, m_settings.m_nStereoMode);
}

bool CPageRec::OnInitDialog()
{
    CSettingsPage::OnInitDialog();
    if (auto* slider = Control<wxSlider>(IDC_BITRATE_SLIDER)) {
        slider->SetRange(0, record_format::kBitrateSteps - 1);
        slider->SetLineSize(1);
        slider->SetPageSize(1);
        slider->SetTickFreq(1);
    }
    OnHScroll(ScrollCode::ThumbPosition, m_settings.m_nBitrate);
    OnAutoFreq();
    return true;
}

void CPageRec::OnSliderEvent(wxScrollEvent& event)
{
    const wxEventType type = event.GetEventType();
    ScrollCode code = ScrollCode::EndScroll;
    if (type == wxEVT_SCROLL_THUMBTRACK)
        code = ScrollCode::ThumbTrack;
    else if (type == wxEVT_SCROLL_THUMBRELEASE)
        code = ScrollCode::ThumbPosition;
    else if (type == wxEVT_SCROLL_LINEUP)
        code = ScrollCode::LineUp;
    else if (type == wxEVT_SCROLL_LINEDOWN)
        code = ScrollCode::LineDown;
    else if (type == wxEVT_SCROLL_PAGEUP)
        code = ScrollCode::PageUp;
    else if (type == wxEVT_SCROLL_PAGEDOWN)
        code = ScrollCode::PageDown;
    else if (type == wxEVT_SCROLL_TOP)
        code = ScrollCode::Top;
    else if (type == wxEVT_SCROLL_BOTTOM)
        code = ScrollCode::Bottom;
    OnHScroll(code, event.GetPosition());
    event.Skip();
}

void CPageRec::OnHScroll(ScrollCode code, int position)
{
    auto* slider = Control<wxSlider>(IDC_BITRATE_SLIDER);
    if (slider == nullptr)
        return;
    int step = slider->GetValue();
    if (code == ScrollCode::ThumbPosition || code == ScrollCode::ThumbTrack)
        step = position;
    step = record_format::ClampBitrateStep(step);
    if (slider->GetValue() != step)
        slider->SetValue(step);

    const int kbps = record_format::BitrateKbps(step);
    if (auto* estimate = Control<wxStaticText>(IDC_SIZE_ESTIMATE))
        estimate->SetLabel(wxString::FromUTF8(record_format::SizeEstimateText(step)));
    if (AutoFreqChecked())
        SelectFreqForBitrate(kbps);
    else
        ApplyManualFreqRule(kbps);
}

void CPageRec::OnAutoFreq()
{
    const int kbps = record_format::BitrateKbps(SliderStep());
    wxWindow* group = FindControl(IDC_FREQ_GROUP);
    if (AutoFreqChecked()) {
        EnableFreqRadios(false, false);
        if (group != nullptr)
            group->Enable(false);
        SelectFreqForBitrate(kbps);
    } else {
        ApplyManualFreqRule(kbps);
        if (group != nullptr)
            group->Enable(true);
    }
}

void CPageRec::SelectFreqForBitrate(int kbps) { SelectFreqIndex(record_format::AutoFreqIndex(kbps)); }

void CPageRec::SelectFreqIndex(int index)
{
    // The chosen radio first: some toolkits cannot clear a radio button while it is the checked one.
    if (auto* radio = Control<wxRadioButton>(kFreqRadios[static_cast<std::size_t>(index)]))
        radio->SetValue(true);
    for (int i = 0; i < record_format::kSampleRates; ++i) {
        if (i == index)
            continue;
        if (auto* radio = Control<wxRadioButton>(kFreqRadios[static_cast<std::size_t>(i)]))
            radio->SetValue(false);
    }
}

void CPageRec::ApplyManualFreqRule(int kbps)
{
    const int current = CheckedFreqIndex();
    const record_format::ManualFreqChoice choice = record_format::ManualFreqRule(kbps, current);
    EnableFreqRadios(choice.lowAllowed, choice.highAllowed);
    if (choice.index != current)
        SelectFreqIndex(choice.index);
}

void CPageRec::EnableFreqRadios(bool low, bool high)
{
    for (int i = 0; i < record_format::kSampleRates; ++i) {
        if (wxWindow* radio = FindControl(kFreqRadios[static_cast<std::size_t>(i)]))
            radio->Enable(i < 2 ? low : high);
    }
}

int CPageRec::SliderStep() const
{
    const auto* slider = Control<wxSlider>(IDC_BITRATE_SLIDER);
    return slider != nullptr ? record_format::ClampBitrateStep(slider->GetValue()) : m_settings.m_nBitrate;
}

bool CPageRec::AutoFreqChecked() const
{
    const auto* box = Control<wxCheckBox>(IDC_AUTO_FREQ);
    return box != nullptr && box->GetValue();
}

int CPageRec::CheckedFreqIndex() const
{
    for (int i = 0; i < record_format::kSampleRates; ++i) {
        const auto* radio = Control<wxRadioButton>(kFreqRadios[static_cast<std::size_t>(i)]);
        if (radio != nullptr && radio->GetValue())
            return i;
    }
    return -1;
}
