// The "Источники" page beside a real sound server, through the program's own client: each list
// leaves out what the other records, chosen with keys typed through the X server; the keys in
// the settings file and read back; apart in effect only in stereo.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include <X11/keysym.h>

#include <wx/choice.h>

#include "platform/Profile.h"
#include "settings/PageControlIds.h"
#include "settings/SheetTestSupport.h"
#include "support/PulseServer.h"
#include "support/TempDir.h"
#include "support/XInput.h"

using namespace settings;
using namespace settings_test;
using testing_support::PulseServer;

namespace {

// The list's next entry with the Down key on the focused list; the entry then chosen.
std::string ChooseNext(CMySheetDialog& dlg, int id)
{
    auto* choice = Find<wxChoice>(dlg, id);
    const int before = choice->GetSelection();
    choice->SetFocus();
    Settle(10);
    testing_support::XKeyTap(XK_Down);
    for (int i = 0; i < 200 && choice->GetSelection() == before; ++i)
        Settle(1);
    return choice->GetStringSelection().utf8_string();
}

bool Offers(CMySheetDialog& dlg, int id, const std::string& label)
{
    const auto entries = EntriesOf(dlg, id);
    return std::find(entries.begin(), entries.end(), label) != entries.end();
}

}  // namespace

TEST(SourcesPulseTest, TheListsLeaveOutEachOthersSourceAndTheChoiceIsStored)
{
    if (!PulseServer::Available())
        GTEST_SKIP() << "no private sound server";
    testing_support::TempDir config;
    testing_support::ScopedEnv xdg("XDG_CONFIG_HOME", config.Path());
    platform::SetRegistryKey("Dravellin Software");
    const std::string mic = std::getenv("DR_PULSE_SOURCE");
    const std::string monitor = PulseServer::Monitor();
    std::string micLabel, monitorLabel;
    {
        CMySheet sheet(wxString::FromUTF8("Свойства"), nullptr, CMySheet::kSourcesPage);
        EXPECT_EQ(RunSheetOnScreen(sheet, [&](CMySheetDialog& dlg) {
            for (int i = 0; i < 500 && EntriesOf(dlg, IDC_SECOND_SOURCE).size() < 2; ++i)
                Settle(1);
            micLabel = CPageSrc::SourceLabel(mic);
            monitorLabel = CPageSrc::SourceLabel(monitor);
            // "По умолчанию" records the microphone: the second list offers what the computer plays.
            EXPECT_EQ(EntriesOf(dlg, IDC_SECOND_SOURCE).front(), "Нет");
            EXPECT_FALSE(Offers(dlg, IDC_SECOND_SOURCE, micLabel));
            EXPECT_TRUE(Offers(dlg, IDC_SECOND_SOURCE, monitorLabel));

            // The first list down to what the computer plays: the second gives it up for the microphone.
            for (int i = 0; i < 10 && ChooseNext(dlg, IDC_SOURCE) != monitorLabel; ++i) {
            }
            EXPECT_FALSE(Offers(dlg, IDC_SECOND_SOURCE, monitorLabel));
            EXPECT_TRUE(Offers(dlg, IDC_SECOND_SOURCE, micLabel));
            EXPECT_EQ(ChooseNext(dlg, IDC_SECOND_SOURCE), micLabel);
            EXPECT_FALSE(Offers(dlg, IDC_SOURCE, micLabel));

            EXPECT_FALSE(IsEnabled(dlg, IDC_SOURCES_APART));  // mono
            // Wrapped at spaces or, in a long word, inside it: compared without the white space.
            const auto squeezed = [](std::string text) {
                text.erase(std::remove_if(text.begin(), text.end(), [](char c) { return c == '\n' || c == ' '; }),
                           text.end());
                return text;
            };
            EXPECT_EQ(squeezed(LabelOf(dlg, IDC_SOURCE_NOW)),
                      squeezed("Записываются вместе: " + monitorLabel + " и " + micLabel));
            ExpectPageFits(dlg, CMySheet::kSourcesPage);

            const wxRect ok = dlg.FindControl(wxID_OK)->GetScreenRect();
            testing_support::XMovePointer(ok.GetPosition() + ok.GetSize() / 2);
            Settle(5);
            testing_support::XButton(1, true);
            testing_support::XButton(1, false);
            for (int i = 0; i < 200 && dlg.IsModal(); ++i)
                Settle(1);
        }, wxID_CANCEL), wxID_OK);
    }
    const std::string file = testing_support::ReadWholeFile(platform::ProfileFilePath());
    // Each source with the name the page showed for it.
    EXPECT_NE(file.find("\nSource=" + monitor + "\nSourceLabel=" + monitorLabel + "\nSecondSource=" + mic +
                        "\nSecondSourceLabel=" + micLabel + "\n"),
              std::string::npos)
        << file;
    EXPECT_EQ(file.find("SourcesApart"), std::string::npos) << file;

    // Read back at the next start; apart counts only in stereo.
    platform::WriteProfileInt("Record", "SourcesApart", 1);
    EXPECT_EQ(CMySheet().SourcesPage().GetSecondSource(), mic);
    EXPECT_EQ(CMySheet().SourcesPage().RecordedSourcesLabel(), monitorLabel + " и " + micLabel);
    platform::WriteProfileInt("Record", "Stereo mode", 1);
    EXPECT_TRUE(CMySheet().SourcesPage().GetSourcesApart());
    EXPECT_EQ(CMySheet().SourcesPage().RecordedSourcesLabel(),
              monitorLabel + " (левый канал) и " + micLabel + " (правый канал)");
}
