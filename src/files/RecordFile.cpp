#include "files/RecordFile.h"

#include <cerrno>
#include <climits>
#include <filesystem>
#include <system_error>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "files/StandardName.h"
#include "platform/MessageBox.h"
#include "platform/ProfileKeys.h"
#include "platform/ProgramPaths.h"
#include "platform/SafeOpen.h"
#include "platform/UniqueFd.h"

namespace {

const char* const kExtension = ".mp3";
const char* const kCannotCreate = "Не могу создать файл.";
// Enough for every start within one minute; past it the last candidate is used and
// CreateEmpty refuses to touch the existing file.
constexpr int kMaxSuffix = 9999;

bool Exists(const std::string& path)
{
    // A dangling link counts: creating through it exclusively would fail as well.
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

// The part of path after its last separator, or all of it.
std::string NameOf(const std::string& path)
{
    const std::size_t sep = path.find_last_of(platform::PathSeparator());
    return sep == std::string::npos ? path : path.substr(sep + 1);
}

// folder (empty: the current folder) as a full path ending in a separator, so a name made in it
// is found again from any current folder.
std::string FullFolder(const std::string& folder)
{
    std::error_code error;
    const std::filesystem::path full =
        std::filesystem::absolute(folder.empty() ? std::filesystem::path(".") : platform::PathFromUtf8(folder), error);
    if (error)
        return folder;
    std::string text = platform::Utf8FromPath(full.lexically_normal());
    while (text.size() > 1 && text.back() == platform::PathSeparator())
        text.pop_back();
    return text + platform::PathSeparator();
}

}  // namespace

CRecordFile::CRecordFile() : CRecordFile(std::make_unique<CClock>(), std::make_unique<CFileDialogs>()) {}

CRecordFile::CRecordFile(std::unique_ptr<CClock> clock, std::unique_ptr<CFileDialogs> dialogs)
    : m_clock(std::move(clock)), m_dialogs(std::move(dialogs))
{
}

CRecordFile::~CRecordFile() = default;

void CRecordFile::Reset()
{
    m_name = kNoFile;
    m_path.clear();
    m_previousName = kNoFile;
    m_previousPath.clear();
    m_existing = ExistingFile::Keep;
}

std::string CRecordFile::MakeDefaultName() const { return files::StandardFileName(m_clock->LocalNow()); }

void CRecordFile::SetPath(const std::string& path)
{
    m_path = path;
    m_name = NameOf(path);
}

std::string CRecordFile::FreeNameIn(const std::string& folder, const std::string& standardName) const
{
    std::string name = standardName + kExtension;
    for (int suffix = 2; suffix <= kMaxSuffix && Exists(folder + name); ++suffix)
        name = standardName + "-" + std::to_string(suffix) + kExtension;
    return name;
}

bool CRecordFile::NewFile(bool automatic)
{
    const std::string standardName = MakeDefaultName();
    if (automatic) {
        const std::string last = platform::ReadSetting(platform::kLastFile);
        const std::size_t sep = last.find_last_of(platform::PathSeparator());
        const std::string folder = FullFolder(sep == std::string::npos ? std::string() : last.substr(0, sep + 1));
        SetPath(folder + FreeNameIn(folder, standardName));
        m_existing = ExistingFile::Keep;
    } else {
        const std::optional<std::string> chosen = m_dialogs->AskNewFile(standardName);
        if (!chosen)
            return false;
        std::string path = *chosen;
        // The dialog asked about the name as it was typed; a name that gets the default
        // extension here was never confirmed, so an existing file of that name is kept.
        ExistingFile existing = ExistingFile::Replace;
        if (NameOf(path).find('.') == std::string::npos) {
            path += kExtension;
            existing = ExistingFile::Keep;
        }
        SetPath(path);
        m_existing = existing;
    }
    return true;
}

bool CRecordFile::CreateEmpty()
{
    const ExistingFile existing = std::exchange(m_existing, ExistingFile::Keep);
    // A pipe or device chosen in the dialog is refused without waiting for its other end.
    const int flags = O_WRONLY | O_CREAT | (existing == ExistingFile::Keep ? O_EXCL : 0);
    platform::UniqueFd fd = platform::OpenRegularFile(m_path, flags, 0666);
    bool created = fd.Valid();
    if (created && existing == ExistingFile::Replace) {
        // No one else may be writing the file while it is emptied (another copy of the program
        // recording into it holds the same lock). A file system without locks empties it anyway.
        created = platform::TryLockExclusive(fd.Get(), m_path) != platform::LockResult::HeldElsewhere &&
                  ::ftruncate(fd.Get(), 0) == 0;
    }
    if (!created) {
        platform::ShowMessage(platform::FormatFileMessage(m_path, kCannotCreate), platform::MessageIcon::Stop);
        // Nothing was made: the file from before the command stays the current one.
        m_name = m_previousName;
        m_path = m_previousPath;
        return false;
    }
    m_previousName = m_name;
    m_previousPath = m_path;
    platform::WriteSetting(platform::kLastFile, m_path);
    return true;
}

bool CRecordFile::CreateNextPiece(std::string& path) const
{
    const std::size_t sep = m_path.find_last_of(platform::PathSeparator());
    const std::string folder = FullFolder(sep == std::string::npos ? std::string() : m_path.substr(0, sep + 1));
    path = folder + FreeNameIn(folder, MakeDefaultName());
    return platform::OpenRegularFile(path, O_WRONLY | O_CREAT | O_EXCL, 0666).Valid();
}

bool CRecordFile::OpenExisting(bool lastFile)
{
    if (lastFile) {
        const std::string last = platform::ReadSetting(platform::kLastFile);
        m_existing = ExistingFile::Keep;
        if (last.empty()) {
            m_path.clear();
            m_previousPath.clear();
            return false;
        }
        SetPath(last);
        m_previousName = m_name;
        m_previousPath = m_path;
        return true;
    }
    const std::optional<std::string> chosen = m_dialogs->AskExistingFile();
    if (!chosen)
        return false;
    return OpenChosen(*chosen);
}

bool CRecordFile::OpenChosen(const std::string& path)
{
    if (path.empty())
        return false;
    SetPath(path);
    m_previousName = m_name;
    m_previousPath = m_path;
    m_existing = ExistingFile::Keep;
    platform::WriteSetting(platform::kLastFile, m_path);
    return true;
}

std::uint32_t CRecordFile::GetSizeKB() const
{
    if (m_path.empty())
        return 0;
    // A plain read-only open takes no lock, so the size can be read while the recorder appends.
    // Only a regular file is measured: a pipe or device is never opened for good.
    platform::UniqueFd fd = platform::OpenRegularFile(m_path, O_RDONLY);
    if (!fd.Valid())
        return 0;
    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0 || st.st_size < 0)
        return 0;
    const auto kib = static_cast<std::uint64_t>(st.st_size) / 1024u;
    return kib > UINT32_MAX ? UINT32_MAX : static_cast<std::uint32_t>(kib);
}
