#pragma once
// The page "Автозапись": what the program does on its own around a recording. Voice activation
// (writing only what is louder than a threshold), the seconds before Record kept in memory,
// whether the computer is kept from sleeping while recording, and when a long recording goes on
// into a new file. The object is constructed with
// the settings sheet at program start, reads its "Record" keys then and holds them for the whole
// run; the main panel reads them through HandsFree and GetKeepAwake. As on the other pages,
// leaving the page moves its controls into the members and OK saves. User-interface thread only.

#include "settings/HandsFreeSettings.h"
#include "settings/SettingsPage.h"
#include "settings/SplitSettings.h"

class CPageAuto : public CSettingsPage {
public:
    CPageAuto();

    // True when the computer is to be kept from sleeping while recording.
    bool GetKeepAwake() const { return m_keepAwake != 0; }
    // Voice activation and the seconds kept before Record.
    const CHandsFreeSettings& HandsFree() const { return m_handsFree; }
    // When a recording goes on into a new file.
    const CSplitSettings& Split() const { return m_split; }

    // "Keep awake": on for any non-zero value.
    void PersistKeepAwake(bool load);

    // Controls -> members, then saves what differs from what was read.
    void OnOK() override;

protected:
    void CreateControls() override;
    void DoDataExchange(bool save) override;

private:
    int m_keepAwake = 1;
    int m_readKeepAwake = 1;  // as read or last saved, to write only a change
    CHandsFreeSettings m_handsFree;
    CSplitSettings m_split;
};
