#include "engine/record/Mp3Writer.h"

#include <cerrno>
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

std::string CMp3Writer::LibraryFileName()
{
#ifdef _WIN32
    return "lame_enc.dll";
#elif defined(__APPLE__)
    return "liblame_enc.dylib";
#else
    return "liblame_enc.so";
#endif
}

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
    if (produced > 0)
        m_syncer->Written();
    return true;
}

void CMp3Writer::FinishWriting()
{
    if (m_syncer)
        m_syncer->Finish([this] { m_file.Reset(); });  // closing releases the lock
}

bool CMp3Writer::WritingFinished() const
{
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
    m_syncer = std::make_unique<CFileSyncer>(m_sync);
    m_syncer->Start(m_file.Get(), newFile ? path : std::string());
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
        m_syncer.reset();  // keeps nothing of this file; a later OpenFile starts afresh
    }
    m_file.Reset();
    m_fileOpen = false;
}
