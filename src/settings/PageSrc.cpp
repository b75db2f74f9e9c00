#include "settings/PageSrc.h"

#include <algorithm>
#include <map>

#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/stattext.h>
#include <wx/timer.h>

#include "platform/ProfileKeys.h"
#include "platform/SoundServer.h"
#include "res/ResourceIds.h"
#include "settings/PageControlIds.h"
#include "settings/PageRec.h"
#include "settings/RecordSettings.h"

using namespace settings;

namespace {

// How often the open page looks for news of the sound server's sources.
constexpr int kSourcePollMs = 250;

// The line under the lists, in dialog units: where it starts and how far it may run down.
constexpr int kLineTop = 58;
constexpr int kLineHeight = 40;

std::string LabelOf(const platform::SoundSource& source)
{
    return source.monitor ? "Звук компьютера: " + source.output : source.description;
}

// The labels of the sources seen in the server's list during this run, or stored with a choice,
// by name: a source that is gone is still named as it was shown. User-interface thread.
std::map<std::string, std::string>& KeptLabels()
{
    static std::map<std::string, std::string> labels;
    return labels;
}

void KeepLabel(const std::string& name, const std::string& label)
{
    if (!name.empty() && !label.empty())
        KeptLabels()[name] = label;
}

// The label of a source by name from the list, else as kept; empty when it is unknown.
std::string KnownLabel(const std::string& name)
{
    if (name.empty())
        return {};
    for (const auto& source : platform::SoundServer::List())
        if (source.name == name) {
            const std::string label = LabelOf(source);
            KeepLabel(name, label);
            return label;
        }
    const auto kept = KeptLabels().find(name);
    return kept != KeptLabels().end() ? kept->second : std::string();
}

// The text broken into lines no wider than width on the control's font: at spaces, and inside a
// word only where the word alone is wider than a line. Past maxLines the last line ends in "…".
wxString FitLines(const wxWindow& control, const wxString& text, int width, int maxLines)
{
    auto fits = [&](const wxString& s) { return control.GetTextExtent(s).x <= width; };
    wxArrayString lines;
    wxString line;
    for (wxString word : wxSplit(text, ' ', '\0')) {
        const wxString joined = line.empty() ? word : line + " " + word;
        if (fits(joined)) {
            line = joined;
            continue;
        }
        if (!line.empty())
            lines.Add(line);
        while (word.length() > 1 && !fits(word)) {
            std::size_t n = word.length() - 1;
            while (n > 1 && !fits(word.Left(n)))
                --n;
            lines.Add(word.Left(n));
            word = word.Mid(n);
        }
        line = word;
    }
    if (!line.empty())
        lines.Add(line);
    if (static_cast<int>(lines.size()) > maxLines) {
        lines.resize(static_cast<std::size_t>(std::max(maxLines, 1)));
        wxString& last = lines.back();
        const wxString ellipsis = wxString::FromUTF8("…");
        while (!last.empty() && !fits(last + ellipsis))
            last.RemoveLast();
        last += ellipsis;
    }
    return wxJoin(lines, '\n', '\0');
}

}  // namespace

CPageSrc::CPageSrc(const CPageRec& format)
    : CSettingsPage(res::IDD_PAGE_SOURCES, "Источники", wxSize(221, 103)), m_format(format)
{
    PersistSource(true);
    PersistSecondSource(true);
    PersistSourcesApart(true);
}

CPageSrc::~CPageSrc() = default;

std::string CPageSrc::GetSecondSource() const
{
    return platform::SoundServer::Wanted() ? m_secondSource : std::string();
}

bool CPageSrc::GetSourcesApart() const
{
    return m_bSourcesApart != 0 && m_format.GetStereoMode() == 1 && !GetSecondSource().empty();
}

void CPageSrc::PersistSource(bool load)
{
    if (load) {
        m_source = platform::ReadSetting(platform::kSource);
        m_sourceLabel = platform::ReadSetting(platform::kSourceLabel);
        // A label seen in this run's list is newer than the stored one.
        if (!m_source.empty() && !m_sourceLabel.empty())
            KeptLabels().emplace(m_source, m_sourceLabel);
    } else {
        platform::WriteSetting(platform::kSource, m_source);
        platform::WriteSetting(platform::kSourceLabel, m_sourceLabel);
    }
}

void CPageSrc::PersistSecondSource(bool load)
{
    if (load) {
        m_secondSource = platform::ReadSetting(platform::kSecondSource);
        m_secondSourceLabel = platform::ReadSetting(platform::kSecondSourceLabel);
        if (!m_secondSource.empty() && !m_secondSourceLabel.empty())
            KeptLabels().emplace(m_secondSource, m_secondSourceLabel);
    } else {
        platform::WriteSetting(platform::kSecondSource, m_secondSource);
        platform::WriteSetting(platform::kSecondSourceLabel, m_secondSourceLabel);
    }
}

void CPageSrc::PersistSourcesApart(bool load)
{
    if (load)
        m_bSourcesApart = record_format::NormalizeSwitch(platform::ReadSetting(platform::kSourcesApart));
    else
        platform::WriteSetting(platform::kSourcesApart, m_bSourcesApart);
}

void CPageSrc::OnOK()
{
    if (m_window == nullptr)
        return;
    // A source's label goes with it; one that is listed under another label now (renamed, or
    // stored without one) has its label brought up to date.
    const std::string firstLabel = KnownLabel(m_firstChoice);
    if (m_firstChoice != m_source) {
        m_source = m_firstChoice;
        m_sourceLabel = firstLabel;
        PersistSource(false);
    } else if (!firstLabel.empty() && firstLabel != m_sourceLabel) {
        m_sourceLabel = firstLabel;
        platform::WriteSetting(platform::kSourceLabel, m_sourceLabel);
    }
    const std::string secondLabel = KnownLabel(m_secondChoice);
    if (m_secondChoice != m_secondSource) {
        m_secondSource = m_secondChoice;
        m_secondSourceLabel = secondLabel;
        PersistSecondSource(false);
    } else if (!secondLabel.empty() && secondLabel != m_secondSourceLabel) {
        m_secondSourceLabel = secondLabel;
        platform::WriteSetting(platform::kSecondSourceLabel, m_secondSourceLabel);
    }
    // The box keeps its state while greyed, so a stored 1 with mono is written back only when
    // the user changed it.
    const int apart = ApartChecked() ? 1 : 0;
    if (apart != m_bSourcesApart) {
        m_bSourcesApart = apart;
        PersistSourcesApart(false);
    }
}

std::string CPageSrc::SourceLabel(const std::string& name)
{
    if (name.empty())
        return "По умолчанию";
    const std::string label = KnownLabel(name);
    return label.empty() ? name : label;
}

CPageSrc::Entries CPageSrc::ListedSources()
{
    const auto sources = platform::SoundServer::List();
    Entries all;
    for (const bool monitors : {false, true})
        for (const auto& source : sources)
            if (source.monitor == monitors) {
                all.emplace_back(source.name, LabelOf(source));
                KeepLabel(source.name, all.back().second);
            }
    return all;
}

std::string CPageSrc::RecordedSourceLabel(const std::string& name)
{
    if (!name.empty())
        return SourceLabel(name);
    const std::string current = platform::SoundServer::Default();
    return current.empty() ? SourceLabel(name) : "По умолчанию (" + SourceLabel(current) + ")";
}

std::string CPageSrc::RecordedSourcesLabel(const std::string& first, const std::string& second, bool apart)
{
    if (second.empty())
        return RecordedSourceLabel(first);
    if (apart)
        return RecordedSourceLabel(first) + " (левый канал) и " + SourceLabel(second) + " (правый канал)";
    return RecordedSourceLabel(first) + " и " + SourceLabel(second);
}

std::string CPageSrc::RecordedSourcesLabel() const
{
    return RecordedSourcesLabel(m_source, GetSecondSource(), GetSourcesApart());
}

void CPageSrc::CreateControls()
{
    wxWindow* page = m_window;
    auto text = [](const char* utf8) { return wxString::FromUTF8(utf8); };

    Place(new wxStaticText(page, wxID_ANY, text("Источник звука:")), 5, 8, 62, 8);
    Place(new wxChoice(page, IDC_SOURCE), 70, 5, 146, 14);
    Place(new wxStaticText(page, wxID_ANY, text("Второй источник:")), 5, 26, 62, 8);
    Place(new wxChoice(page, IDC_SECOND_SOURCE), 70, 23, 146, 14);
    Place(new wxCheckBox(page, IDC_SOURCES_APART, text("Каждый источник в своём канале (левый и правый)")), 5, 42,
          211, 10);
    Place(new wxStaticText(page, IDC_SOURCE_NOW, wxString(), wxDefaultPosition, wxDefaultSize, wxST_NO_AUTORESIZE),
          5, kLineTop, 211, 8);

    for (const int id : {IDC_SOURCE, IDC_SECOND_SOURCE})
        page->FindWindow(id)->Bind(wxEVT_CHOICE, [this, id](wxCommandEvent&) { OnChoice(id); });
    page->FindWindow(IDC_SOURCES_APART)->Bind(wxEVT_CHECKBOX, [this](wxCommandEvent&) { ShowState(); });

    // The lists follow the server while the page exists, and only then.
    m_sourceTimer = std::make_unique<wxTimer>(page);
    page->Bind(wxEVT_TIMER, [this](wxTimerEvent&) { OnSourceTick(); }, m_sourceTimer->GetId());
    page->Bind(wxEVT_DESTROY, [this, page](wxWindowDestroyEvent& event) {
        if (event.GetEventObject() == page && m_sourceTimer)
            m_sourceTimer->Stop();
        event.Skip();
    });
}

bool CPageSrc::OnInitDialog()
{
    m_firstChoice = m_source;
    m_secondChoice = m_secondSource;
    if (auto* apart = Control<wxCheckBox>(IDC_SOURCES_APART))
        apart->SetValue(m_bSourcesApart != 0);
    FillSources();
    // Asks the server (when there is one) for its sources now, and follows it while open.
    if (platform::SoundServer::Wanted()) {
        OnSourceTick();
        m_sourceTimer->Start(kSourcePollMs);
    }
    return true;
}

void CPageSrc::DoDataExchange(bool save)
{
    if (!save)
        ShowState();
}

bool CPageSrc::SecondListed() const
{
    return platform::SoundServer::Wanted() && !platform::SoundServer::List().empty();
}

std::string CPageSrc::ChosenSecond() const { return SecondListed() ? m_secondChoice : std::string(); }

bool CPageSrc::ApartChecked() const
{
    const auto* box = Control<wxCheckBox>(IDC_SOURCES_APART);
    return box != nullptr ? box->GetValue() : m_bSourcesApart != 0;
}

void CPageSrc::FillSources()
{
    const Entries all = ListedSources();

    // Each list leaves out what the other records; its own choice always stays (a stored
    // setting naming the same source twice is shown as it is, for the user to put right).
    const std::string second = ChosenSecond();
    std::string firstRecords = m_firstChoice;
    if (firstRecords.empty())
        firstRecords = platform::SoundServer::Default();
    auto without = [&all](const std::string& taken, const std::string& own, Entries entries) {
        for (const auto& entry : all)
            if (entry.first == own || entry.first != taken)
                entries.push_back(entry);
        return entries;
    };
    FillList(IDC_SOURCE, without(second, m_firstChoice, {{"", "По умолчанию"}}), m_firstChoice, m_firstNames);
    if (SecondListed())
        FillList(IDC_SECOND_SOURCE, without(firstRecords, m_secondChoice, {{"", "Нет"}}), m_secondChoice,
                 m_secondNames);
    else
        FillList(IDC_SECOND_SOURCE, {{"", "Нет"}}, std::string(), m_secondNames);
    ShowState();
}

void CPageSrc::FillList(int id, const Entries& entries, const std::string& chosen, std::vector<std::string>& names)
{
    auto* choice = Control<wxChoice>(id);
    if (choice == nullptr)
        return;
    Entries shown = entries;
    // A chosen source that is not there now stays in the list (it may come back), named as it
    // was last shown.
    if (std::none_of(shown.begin(), shown.end(), [&](const auto& e) { return e.first == chosen; }))
        shown.emplace_back(chosen, SourceLabel(chosen));
    std::vector<std::string> newNames;
    wxArrayString labels;
    int selection = 0;
    for (const auto& [name, label] : shown) {
        if (name == chosen)
            selection = static_cast<int>(newNames.size());
        newNames.push_back(name);
        labels.Add(wxString::FromUTF8(label));
    }
    // Setting the same entries again would close a list the user has just opened.
    if (newNames != names || static_cast<int>(choice->GetCount()) != static_cast<int>(labels.size()))
        choice->Set(labels);
    else
        for (unsigned i = 0; i < labels.size(); ++i)
            if (choice->GetString(i) != labels[i])
                choice->SetString(i, labels[i]);
    names = std::move(newNames);
    if (choice->GetSelection() != selection)
        choice->SetSelection(selection);
}

void CPageSrc::OnChoice(int id)
{
    const auto* choice = Control<wxChoice>(id);
    std::vector<std::string>& names = id == IDC_SOURCE ? m_firstNames : m_secondNames;
    const int index = choice != nullptr ? choice->GetSelection() : wxNOT_FOUND;
    if (index < 0 || static_cast<std::size_t>(index) >= names.size())
        return;
    if (id == IDC_SOURCE)
        m_firstChoice = names[static_cast<std::size_t>(index)];
    else if (SecondListed())
        m_secondChoice = names[static_cast<std::size_t>(index)];
    FillSources();
}

void CPageSrc::OnSourceTick()
{
    const std::uint64_t version = platform::SoundServer::Watch();
    if (version != m_sourcesVersion) {
        m_sourcesVersion = version;
        FillSources();
    }
}

void CPageSrc::ShowState()
{
    const bool stereo = m_format.GetStereoMode() == 1;
    if (wxWindow* apart = FindControl(IDC_SOURCES_APART))
        apart->Enable(stereo);
    auto* line = Control<wxStaticText>(IDC_SOURCE_NOW);
    if (line == nullptr)
        return;
    const std::string second = ChosenSecond();
    const bool apart = stereo && ApartChecked();
    const std::string text = (second.empty() ? "Записывается: "
                              : apart        ? "Записываются: "
                                             : "Записываются вместе: ") +
                             RecordedSourcesLabel(m_firstChoice, second, apart);
    // As many lines as the text needs, up to the page's foot; the whole text in the tooltip.
    // The label may lay a line out a pixel or two wider than the text's own measure: then the
    // text is fitted again to a width less by that much.
    const wxRect area = DialogRect(5, kLineTop, 211, kLineHeight);
    const int lineHeight = std::max(1, line->GetTextExtent(wxString::FromUTF8("Ág")).y);
    const int lines = std::max(1, area.height / lineHeight);
    const wxString full = wxString::FromUTF8(text);
    for (int width = area.width, tries = 0; tries < 4; ++tries) {
        line->SetLabelText(FitLines(*line, full, width, lines));
        line->InvalidateBestSize();
        const int over = line->GetBestSize().x - area.width;
        if (over <= 0)
            break;
        width -= over;
    }
    line->SetToolTip(full);
    line->SetSize(area.x, area.y, area.width, std::min(area.height, line->GetBestSize().y));
}
