#pragma once
// The current recording file: its full path and bare name, the date-based standard name, the
// new and open dialogs, the memory of the last file ("LastFile") and the file's size.
//
// An existing recording is never destroyed without the user's word: an automatic new name
// that is taken gets "-2", "-3", … before ".mp3", and CreateEmpty only empties an existing
// file that the user agreed to replace in the save dialog.
//
// User-interface thread only. GetSizeKB may run while the recorder appends to the file.

#include <cstdint>
#include <memory>
#include <string>

#include "files/Clock.h"
#include "files/FileDialogs.h"

class CRecordFile {
public:
    // The name shown while no file has been chosen.
    static constexpr const char* kNoFile = "<No file>";

    CRecordFile();
    // Uses the given clock and dialogs instead of the real ones (tests).
    CRecordFile(std::unique_ptr<CClock> clock, std::unique_ptr<CFileDialogs> dialogs);
    virtual ~CRecordFile();
    CRecordFile(const CRecordFile&) = delete;
    CRecordFile& operator=(const CRecordFile&) = delete;

    // Back to "no file chosen".
    void Reset();

    // The ten-character standard name of this moment, without extension.
    std::string MakeDefaultName() const;

    // Names a new file without creating it: automatically (the standard name in the folder of
    // the last file, or in the current folder when none is known; always a full path) or
    // through the save dialog. False when the dialog was cancelled; then nothing has changed.
    // The name is tentative until CreateEmpty: only a created file becomes the current one.
    bool NewFile(bool automatic);

    // Creates the named file empty. An existing file is emptied only when the user chose to
    // replace it in the save dialog; otherwise an existing file is left alone and counts as a
    // failure. On success the file is the current one and its path goes to "LastFile". On
    // failure shows "Не могу создать файл." and returns false; the name and path are again
    // those from before NewFile, and "LastFile" is untouched.
    bool CreateEmpty();

    // Takes the last file ("LastFile", not checked for existence) or one chosen in the open
    // dialog. False when "LastFile" is empty (then the path is cleared and the name kept) or
    // the dialog was cancelled (then nothing has changed).
    bool OpenExisting(bool lastFile);

    // Takes path as if it had been chosen in the open dialog (the program's command line): it
    // becomes the current file and "LastFile". path should be a full path; it is not checked
    // for existence (the player reports a file it cannot open). False, with nothing changed,
    // for an empty path.
    bool OpenChosen(const std::string& path);

    // For a recording that goes on into a new file: names a file with the standard name of this
    // moment in the folder of the current file (a name that is taken gets "-2", "-3", …) and
    // creates it empty, never replacing a file. The current file stays as it is (OpenChosen
    // makes the new one current once the recording writes to it). False, without a message,
    // when it cannot be created; path then names the file that was tried.
    bool CreateNextPiece(std::string& path) const;

    const std::string& GetName() const { return m_name; }
    const std::string& GetPath() const { return m_path; }

    // The file's size in KiB, rounded down; 0 when it cannot be opened or measured.
    std::uint32_t GetSizeKB() const;

private:
    // What CreateEmpty may do with a file that already exists at m_path.
    enum class ExistingFile { Keep, Replace };

    void SetPath(const std::string& path);
    std::string FreeNameIn(const std::string& folder, const std::string& standardName) const;

    std::unique_ptr<CClock> m_clock;
    std::unique_ptr<CFileDialogs> m_dialogs;
    std::string m_name = kNoFile;
    std::string m_path;
    // The current file, kept apart while a new name is tentative (between NewFile and
    // CreateEmpty).
    std::string m_previousName = kNoFile;
    std::string m_previousPath;
    ExistingFile m_existing = ExistingFile::Keep;
};
