// The real save and open dialogs, answered by wxWidgets' modal-dialog test hook.

#include <gtest/gtest.h>

#include <wx/filedlg.h>
#include <wx/testing.h>

#include "files/RecordFile.h"
#include "platform/ProfileKeys.h"
#include "support/MessageCapture.h"
#include "support/TempDir.h"

namespace {

class FixedClock : public CClock {
public:
    std::tm LocalNow() const override
    {
        std::tm t{};
        t.tm_mday = 9;
        t.tm_mon = 6;
        t.tm_hour = 10;
        t.tm_min = 5;
        return t;
    }
};

// What the dialog looked like when it was shown, and how it was answered.
struct SeenDialog {
    wxString title;
    wxString wildcard;
    wxString filename;
    long style = 0;
};

class AnswerFileDialog : public wxExpectModalBase<wxFileDialog, AnswerFileDialog> {
public:
    AnswerFileDialog(SeenDialog& seen, const wxString& path, int answer = wxID_OK)
        : m_seen(seen), m_path(path), m_answer(answer)
    {
    }

protected:
    int OnInvoked(wxFileDialog* dlg) const override
    {
        m_seen.title = dlg->GetMessage();
        m_seen.wildcard = dlg->GetWildcard();
        m_seen.filename = dlg->GetFilename();
        m_seen.style = dlg->GetWindowStyle();
        dlg->SetPath(m_path);
        return m_answer;
    }

private:
    SeenDialog& m_seen;
    wxString m_path;
    int m_answer;
};

// wxWidgets reports unmet or unexpected dialogs through its assertion handler.
class FailOnAssert : public ::testing::Environment {
public:
    void SetUp() override
    {
        wxSetAssertHandler([](const wxString& file, int line, const wxString& func, const wxString& cond,
                              const wxString& msg) {
            ADD_FAILURE_AT(file.utf8_str(), line) << func << ": " << cond << " " << msg;
        });
    }
};
const auto* const kAsserts = ::testing::AddGlobalTestEnvironment(new FailOnAssert);

class FileDialogsTest : public ::testing::Test {
protected:
    FileDialogsTest() : file(std::make_unique<FixedClock>(), std::make_unique<CFileDialogs>())
    {
        platform::WriteSetting(platform::kLastFile, "");
    }

    testing_support::TempDir dir;
    testing_support::MessageCapture messages;
    CRecordFile file;
};

TEST_F(FileDialogsTest, SaveDialogOffersTheStandardNameAndAsksBeforeReplacing)
{
    SeenDialog seen;
    const wxString chosen = wxString::FromUTF8(dir.File("talk.mp3"));
    bool named = false;
    wxTEST_DIALOG(named = file.NewFile(false), AnswerFileDialog(seen, chosen));
    ASSERT_TRUE(named);
    EXPECT_EQ(seen.title, wxString::FromUTF8("Создать файл"));
    EXPECT_EQ(seen.wildcard, wxString::FromUTF8("MPEG аудио файлы (*.MP3)|*.mp3"));
    EXPECT_EQ(seen.filename, "09jul_1005");
    EXPECT_TRUE(seen.style & wxFD_SAVE);
    EXPECT_TRUE(seen.style & wxFD_OVERWRITE_PROMPT);
    EXPECT_FALSE(seen.style & wxFD_CHANGE_DIR);
    EXPECT_EQ(file.GetPath(), dir.File("talk.mp3"));
    EXPECT_EQ(file.GetName(), "talk.mp3");
    // Remembered once the file exists.
    EXPECT_TRUE(file.CreateEmpty());
    EXPECT_EQ(platform::ReadSetting(platform::kLastFile), dir.File("talk.mp3"));
}

TEST_F(FileDialogsTest, OpenDialogStartsEmptyAndRemembersTheChoice)
{
    SeenDialog seen;
    bool taken = false;
    wxTEST_DIALOG(taken = file.OpenExisting(false),
                  AnswerFileDialog(seen, wxString::FromUTF8(dir.File("песня.mp3"))));
    ASSERT_TRUE(taken);
    EXPECT_EQ(seen.title, wxString::FromUTF8("Открыть файл"));
    EXPECT_EQ(seen.wildcard, wxString::FromUTF8("MPEG аудио файлы (*.MP3)|*.mp3"));
    EXPECT_EQ(seen.filename, "");
    EXPECT_FALSE(seen.style & wxFD_FILE_MUST_EXIST);
    EXPECT_EQ(file.GetName(), "песня.mp3");
    EXPECT_EQ(platform::ReadSetting(platform::kLastFile), dir.File("песня.mp3"));
}

TEST_F(FileDialogsTest, CancelledDialogsLeaveEverythingAsItWas)
{
    bool result = true;
    wxTEST_DIALOG(result = file.NewFile(false), wxExpectModal<wxFileDialog>(wxString(), wxID_CANCEL));
    EXPECT_FALSE(result);
    result = true;
    wxTEST_DIALOG(result = file.OpenExisting(false), wxExpectModal<wxFileDialog>(wxString(), wxID_CANCEL));
    EXPECT_FALSE(result);
    EXPECT_EQ(file.GetName(), "<No file>");
    EXPECT_EQ(file.GetPath(), "");
    EXPECT_EQ(platform::ReadSetting(platform::kLastFile), "");
}

}  // namespace
