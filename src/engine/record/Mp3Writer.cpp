#include "engine/record/Mp3Writer.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/MessageBox.h"
#include "platform/ProgramPaths.h"
#include "platform/SafeOpen.h"

using namespace blade;

namespace {

const char kOpenFileFailed[] = "Невозможно открыть файл для записи.\n";
const char kFunctionsFailed[] = "Невозможно инициализировать функции записи.\n";
const char kStreamFailed[] = "Невозможно инициализировать поток записи.\n";

template <typename F>
F Resolve(const CSharedLibrary& library, const char* name)
{
    return reinterpret_cast<F>(library.Symbol(name));
}

}  // namespace

CMp3Writer::CMp3Writer() : CMp3Writer(DefaultLibraryDirs()) {}

CMp3Writer::CMp3Writer(std::vector<std::string> libraryDirs) : m_libraryDirs(std::move(libraryDirs))
{
    LoadEncoder();
}

CMp3Writer::~CMp3Writer()
{
    CloseFile();
    CloseStream();
    m_library.Close();
}

std::string CMp3Writer::LibraryFileName() { return CSharedLibrary::FileName("lame_enc"); }

std::vector<std::string> CMp3Writer::DefaultLibraryDirs()
{
    // Beside the executable first (the build folder), then the installed private folder
    // (<prefix>/lib/dravellin-recorder); never the current folder.
    const std::string exeDir = platform::ExecutableDir();
    if (exeDir.empty())
        return {};
    const std::string installed = platform::PrivateLibraryDir();
    if (installed.empty() || installed == exeDir)
        return {exeDir};
    return {exeDir, installed};
}

bool CMp3Writer::LoadEncoder()
{
    m_loaded = false;
    for (const std::string& dir : m_libraryDirs) {
        if (dir.empty())
            continue;  // an empty folder would mean the current one
        if (m_library.Open(dir + platform::PathSeparator() + LibraryFileName()))
            break;
    }
    if (!m_library.IsOpen()) {
        platform::ShowMessage("Не могу найти библиотеку (" + LibraryFileName() + ").\n",
                              platform::MessageIcon::Stop);
        return false;
    }
    // All six are looked up, in this order, even after one is missing.
    m_beInitStream = Resolve<BEINITSTREAM>(m_library, "beInitStream");
    m_beEncodeChunk = Resolve<BEENCODECHUNK>(m_library, "beEncodeChunk");
    m_beDeinitStream = Resolve<BEDEINITSTREAM>(m_library, "beDeinitStream");
    m_beCloseStream = Resolve<BECLOSESTREAM>(m_library, "beCloseStream");
    m_beVersion = Resolve<BEVERSION>(m_library, "beVersion");
    m_beWriteVBRHeader = Resolve<BEWRITEVBRHEADER>(m_library, "beWriteVBRHeader");
    // Beside the six, and not required: without it a recording is never split.
    m_beFlushNoGap = Resolve<BEFLUSHNOGAP>(m_library, "beFlushNoGap");
    if (m_beInitStream && m_beEncodeChunk && m_beDeinitStream && m_beCloseStream && m_beVersion &&
        m_beWriteVBRHeader) {
        m_loaded = true;
        return true;
    }
    // The library stays loaded until destruction.
    platform::ShowMessage(kFunctionsFailed, platform::MessageIcon::Stop);
    return false;
}

void CMp3Writer::Configure(std::int32_t bitrateKbps, std::int32_t sampleRate,
                           std::int32_t bitsPerSample, std::int32_t stereo)
{
    if (!m_loaded)
        return;
    m_bitsPerSample = static_cast<std::uint32_t>(bitsPerSample);
    std::memset(&m_config, 0, sizeof m_config);
    m_config.dwConfig = BE_CONFIG_LAME;
    auto& c = m_config.LHV1;
    c.dwStructVersion = CURRENT_STRUCT_VERSION;
    c.dwStructSize = CURRENT_STRUCT_SIZE;
    c.dwSampleRate = static_cast<std::uint32_t>(sampleRate);
    c.dwReSampleRate = 0;
    c.nMode = stereo ? BE_MP3_MODE_JSTEREO : BE_MP3_MODE_MONO;
    c.dwBitrate = static_cast<std::uint32_t>(bitrateKbps);
    c.nPreset = LQP_NOPRESET;
    c.dwMpegVersion =
        (bitrateKbps > 32 || (bitrateKbps == 32 && sampleRate >= 22050)) ? MPEG1 : MPEG2;
    c.bOriginal = 1;
    c.bWriteVBRHeader = 0;
    c.bEnableVBR = 0;
    c.bNoRes = 1;
}

bool CMp3Writer::OpenStream()
{
    if (!m_loaded || m_streamOpen)
        return false;
    std::uint32_t samples = 0;
    std::uint32_t bufferSize = 0;
    HBE_STREAM stream = 0;
    if (m_beInitStream(&m_config, &samples, &bufferSize, &stream) != BE_ERR_SUCCESSFUL ||
        samples == 0 || bufferSize == 0) {
        platform::ShowMessage(kStreamFailed, platform::MessageIcon::Stop);
        m_loaded = false;
        m_streamOpen = false;
        return false;
    }
    m_stream = stream;
    m_samplesPerChunk = samples;
    m_outBufferSize = bufferSize;
    m_outBuffer = std::make_unique<std::uint8_t[]>(bufferSize);
    m_streamOpen = true;
    return true;
}

std::uint32_t CMp3Writer::ChunkBytes() const
{
    return (m_bitsPerSample * m_samplesPerChunk) >> 3;
}

bool CMp3Writer::EncodeAndWrite(const std::int16_t* samples, std::uint32_t /*bytes*/)
{
    if (!m_loaded || !m_streamOpen || !m_fileOpen || WriteFailed())
        return false;
    std::uint32_t produced = 0;
    if (m_beEncodeChunk(m_stream, m_samplesPerChunk, samples, m_outBuffer.get(), &produced) !=
        BE_ERR_SUCCESSFUL)
        return false;  // the chunk is lost; the stream goes on
    if (produced > m_outBufferSize)
        produced = m_outBufferSize;
    if (!WriteAll(m_outBuffer.get(), produced))
        return false;
    if (produced > 0) {
        m_pieceBytes.fetch_add(produced, std::memory_order_acq_rel);
        m_syncer->Written();
    }
    return true;
}

bool CMp3Writer::WriteFailed() const
{
    if (m_writeFailed.load(std::memory_order_acquire))
        return true;
    std::lock_guard<std::mutex> lock(m_syncersMutex);
    if (m_syncer && m_syncer->Failed())
        return true;
    if (!m_closedFailedPath.empty())
        return true;
    for (const ClosedFile& closed : m_closed)
        if (closed.syncer->Failed())
            return true;
    return false;
}

std::string CMp3Writer::FailedPath() const
{
    std::lock_guard<std::mutex> lock(m_syncersMutex);
    // An earlier file's last sync failed first: it is the one whose sound may be lost.
    if (!m_closedFailedPath.empty())
        return m_closedFailedPath;
    for (const ClosedFile& closed : m_closed)
        if (closed.syncer->Failed())
            return closed.path;
    if (m_writeFailed.load(std::memory_order_acquire) || (m_syncer && m_syncer->Failed()))
        return m_path;
    return std::string();
}

bool CMp3Writer::OpenNextFile(const std::string& path)
{
    if (!CanSplit() || !m_streamOpen || !m_fileOpen || NextFilePending())
        return false;
    platform::UniqueFd fd = platform::OpenRegularFile(path, O_WRONLY | O_APPEND);
    if (!fd.Valid() || platform::TryLockExclusive(fd.Get(), path) == platform::LockResult::HeldElsewhere)
        return false;
    struct stat st {};
    m_nextIsNew = ::fstat(fd.Get(), &st) == 0 && st.st_size == 0;
    m_nextFile = std::move(fd);
    m_nextPath = path;
    m_nextReady.store(true, std::memory_order_release);
    return true;
}

bool CMp3Writer::SwitchToNextFile()
{
    if (!m_nextReady.load(std::memory_order_acquire) || !m_fileOpen || WriteFailed())
        return false;
    // The current file ends on the frames encoded so far; the samples the encoder holds back
    // begin the next file's first frame.
    std::uint32_t produced = 0;
    if (m_beFlushNoGap(m_stream, m_outBuffer.get(), &produced) != BE_ERR_SUCCESSFUL)
        produced = 0;
    if (produced > m_outBufferSize)
        produced = m_outBufferSize;
    if (!WriteAll(m_outBuffer.get(), produced))
        return false;  // the recording ends in this file, cut back to its last whole frame
    if (produced > 0)
        m_syncer->Written();
    // The old file is synced for the last time and closed on its own syncer's thread.
    auto old = std::make_shared<platform::UniqueFd>(std::move(m_file));
    m_syncer->Finish([old] { old->Reset(); });
    auto syncer = std::make_unique<CFileSyncer>(m_sync);
    syncer->Start(m_nextFile.Get(), m_nextIsNew ? m_nextPath : std::string());
    {
        std::lock_guard<std::mutex> lock(m_syncersMutex);
        ReapClosed();
        m_closed.push_back({m_path, std::move(m_syncer)});
        m_syncer = std::move(syncer);
        m_path = m_nextPath;
    }
    m_file = std::move(m_nextFile);
    m_pieceBytes.store(0, std::memory_order_release);
    m_nextReady.store(false, std::memory_order_release);
    return true;
}

void CMp3Writer::ReapClosed()
{
    for (auto it = m_closed.begin(); it != m_closed.end();) {
        if (!it->syncer->Finished()) {
            ++it;
            continue;
        }
        it->syncer->Join();
        if (it->syncer->Failed() && m_closedFailedPath.empty())
            m_closedFailedPath = it->path;
        it = m_closed.erase(it);
    }
}

void CMp3Writer::FinishWriting()
{
    if (m_syncer)
        m_syncer->Finish([this] { m_file.Reset(); });  // closing releases the lock
}

bool CMp3Writer::WritingFinished() const
{
    std::lock_guard<std::mutex> lock(m_syncersMutex);
    for (const ClosedFile& closed : m_closed)
        if (!closed.syncer->Finished())
            return false;
    return !m_syncer || m_syncer->Finished();
}

bool CMp3Writer::WriteAll(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return true;
    const int fd = m_file.Get();
    const off_t before = ::lseek(fd, 0, SEEK_END);
    if (before < 0) {
        m_writeFailed.store(true, std::memory_order_release);
        return false;
    }
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, data + done, size - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        // Full disk, file-size limit or I/O error: drop the partial frames so the file still
        // ends on a whole frame, and stop encoding for good.
        if (::ftruncate(fd, before) == 0)
            ::lseek(fd, 0, SEEK_END);
        m_writeFailed.store(true, std::memory_order_release);
        return false;
    }
    return true;
}

void CMp3Writer::CloseStream()
{
    if (!m_loaded || !m_streamOpen)
        return;
    m_beCloseStream(m_stream);
    m_outBuffer.reset();
    m_streamOpen = false;
}

bool CMp3Writer::OpenFile(const std::string& path)
{
    CloseFile();
    // Never created or truncated here. The exclusive lock stands in for "read sharing only":
    // readers (the player, the size line) may open the file, a second writer may not. Only a
    // regular file is written: a pipe or device is refused without waiting for its reader.
    platform::UniqueFd fd = platform::OpenRegularFile(path, O_WRONLY | O_APPEND);
    // A file-size limit must reach the failure path of WriteAll (EFBIG), in whichever process
    // hosts the writer, rather than end the process.
    platform::IgnoreFileSizeSignal();
    if (!fd.Valid() || platform::TryLockExclusive(fd.Get(), path) == platform::LockResult::HeldElsewhere) {
        platform::ShowMessage(platform::FormatFileMessage(path, kOpenFileFailed),
                              platform::MessageIcon::Stop);
        m_fileOpen = false;
        return false;
    }
    struct stat st {};
    const bool newFile = ::fstat(fd.Get(), &st) == 0 && st.st_size == 0;
    m_path = path;
    m_file = std::move(fd);
    m_fileOpen = true;
    m_writeFailed.store(false, std::memory_order_release);
    m_pieceBytes.store(0, std::memory_order_release);
    auto syncer = std::make_unique<CFileSyncer>(m_sync);
    syncer->Start(m_file.Get(), newFile ? path : std::string());
    std::lock_guard<std::mutex> lock(m_syncersMutex);
    m_syncer = std::move(syncer);
    return true;
}

bool CMp3Writer::SeekToEnd()
{
    if (!m_fileOpen)
        return false;
    // The file is opened for appending, so every write lands at the end anyway.
    return ::lseek(m_file.Get(), 0, SEEK_END) >= 0;
}

void CMp3Writer::CloseFile()
{
    if (m_syncer) {
        FinishWriting();
        m_syncer->Join();
    }
    {
        std::lock_guard<std::mutex> lock(m_syncersMutex);
        for (ClosedFile& closed : m_closed)
            closed.syncer->Join();
        ReapClosed();
        m_syncer.reset();  // keeps nothing of this file; a later OpenFile starts afresh
    }
    m_file.Reset();
    // A next file never taken was made for this recording and holds nothing: it goes.
    if (m_nextReady.load(std::memory_order_acquire) && m_nextIsNew) {
        m_nextFile.Reset();
        std::remove(m_nextPath.c_str());
    }
    m_nextFile.Reset();
    m_nextReady.store(false, std::memory_order_release);
    m_fileOpen = false;
}
