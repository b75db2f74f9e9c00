#pragma once
// The page "Источники": what a recording records. The first list offers "По умолчанию" (the
// desktop's default input, followed when it changes), every input source of the sound server and
// every output's monitor ("what the computer plays"); the second list offers "Нет" (one source)
// and the same sources. The two lists never name the same source: a source chosen in one is not
// offered by the other, and while the first is "По умолчанию" the second does not offer the
// default input either. A check box puts the two sources in a channel each (stereo only; greyed
// for mono), and a line tells what the choices record. The lists follow the server without
// waiting while the page is open; without a server, or while SDL does the sound, the second list
// offers only "Нет" and the stored second source is left as it is.
//
// A source is stored by its name (Linux: the server's source name; Windows: the audio endpoint's
// ID), and the way the page showed it beside it ("SourceLabel", "SecondSourceLabel"), so a source
// that is unplugged is still named on the page, the lamp and in a message.
//
// The object is constructed with the settings sheet at program start after the Record page, whose
// channel mode it consults, and reads "Source", "SecondSource", their labels and "SourcesApart"
// then. Unlike on
// the other pages, a choice made here takes effect with OK only: leaving the page keeps it in the
// page's controls, and Cancel leaves the sources as they were. OK writes only what changed, so a
// stored value (a source that is unplugged now, "SourcesApart" = 1 with mono) stays in the file.
// User-interface thread only.

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "settings/SettingsPage.h"

class CPageRec;
class wxTimer;

class CPageSrc : public CSettingsPage {
public:
    explicit CPageSrc(const CPageRec& format);
    ~CPageSrc() override;

    // The sound server's source to record, by name; empty for the desktop's default input.
    const std::string& GetSource() const { return m_source; }
    // The source recorded together with the first, by name; empty for none. Also empty while SDL
    // does the sound (SDL_AUDIODRIVER set, or no libpulse), which records one source only.
    std::string GetSecondSource() const;
    // True when each source goes to a channel of its own (the first left, the second right):
    // "SourcesApart" is on, there is a second source and the configured format is stereo. A
    // recording appended to a file of another channel count has to check its own.
    bool GetSourcesApart() const;

    // How the source of this name is shown: "По умолчанию" for the empty name, an input by its
    // description, a monitor as "Звук компьютера: <output>"; a source not in the list by the
    // label it had when it was last seen in this run or when it was stored, else as its name.
    // Uses the last list the server gave; never contacts it. User-interface thread.
    static std::string SourceLabel(const std::string& name);
    // The source a recording with this choice uses, for people: the label of the chosen one, or
    // for the default entry "По умолчанию" with the default source's label once it is known.
    static std::string RecordedSourceLabel(const std::string& name);
    // What a recording records, for people: RecordedSourceLabel of the first; with a second
    // "<first> и <second>", apart "<first> (левый канал) и <second> (правый канал)".
    static std::string RecordedSourcesLabel(const std::string& first, const std::string& second, bool apart);
    // The same for the stored choices as a recording uses them.
    std::string RecordedSourcesLabel() const;

    using Entries = std::vector<std::pair<std::string, std::string>>;  // name, label
    // Every source the server lists now, as the lists offer them: inputs first, then outputs'
    // monitors, each with its label. The lists add their first entry ("По умолчанию", "Нет").
    static Entries ListedSources();

    // load true: read the key from section "Record" into the member, kept as stored whatever it
    // holds (a source may come back; "SourcesApart" is on for any non-zero value); false: write it.
    // A source's label is read and written with it.
    void PersistSource(bool load);
    void PersistSecondSource(bool load);
    void PersistSourcesApart(bool load);

    // Takes the page's choices and writes those that differ from the members.
    void OnOK() override;

protected:
    void CreateControls() override;
    // Showing the page again refreshes what depends on other pages (the channel mode); leaving
    // it moves nothing (see above).
    void DoDataExchange(bool save) override;
    bool OnInitDialog() override;

private:
    // Both lists from what the server has told so far, each keeping its choice.
    void FillSources();
    void FillList(int id, const Entries& entries, const std::string& chosen, std::vector<std::string>& names);
    void OnChoice(int id);
    void OnSourceTick();
    // Whether the second list offers the server's sources now.
    bool SecondListed() const;
    // The second source the page's choices record (empty while the second list is not offered).
    std::string ChosenSecond() const;
    bool ApartChecked() const;
    // The apart check box enabled for stereo, and the line under the lists.
    void ShowState();

    const CPageRec& m_format;
    std::string m_source;
    std::string m_sourceLabel;
    std::string m_secondSource;
    std::string m_secondSourceLabel;
    int m_bSourcesApart = 0;

    // During an opening: the choices (by name) and the names of the lists' entries, in order.
    std::string m_firstChoice;
    std::string m_secondChoice;
    std::vector<std::string> m_firstNames;
    std::vector<std::string> m_secondNames;
    std::unique_ptr<wxTimer> m_sourceTimer;  // while the page's window exists
    std::uint64_t m_sourcesVersion = 0;
};
