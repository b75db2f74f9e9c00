#pragma once
// Turns chunks of 16-bit PCM into MP3 with our BladeEnc-compatible encoder library and appends
// the MP3 bytes to an existing file.
//
// The writer owns the loaded encoder library, one encoder stream and one open output file. It
// never creates or truncates a file: it opens an existing regular one for writing (never a
// pipe or device), takes an exclusive advisory lock on it (a second copy of the program cannot
// append at the same time; a file system without locks is written without one, with a warning
// on standard error) and only ever appends. A failed or short write cuts the file back to its size before that write, so it
// still ends on a whole frame, and stops the encoding; WriteFailed() tells the controller.
//
// Written means on disk: a syncer thread of the writer's own (CFileSyncer) makes the file's data
// durable whenever the oldest write not yet synced is a little under a second old, and the
// folder entry of a file that was empty when opened (a new recording file) first of all, so the
// new entry survives a power cut too. A sync that fails is a failed write (WriteFailed), since
// the data it was to put on the disk may be lost. FinishWriting, after the last write, has what
// is left synced and the file closed on the syncer's thread, so nobody waits for the disk.
//
// A recording split into files goes on into a next file without a sample lost or doubled: the
// user-interface thread opens the next file (OpenNextFile), and the delivery thread, between two
// chunks, ends the current file with the encoder's gapless flush, has its syncer sync and close it
// as at the end, and writes every later frame to the next file (SwitchToNextFile). One encoder
// stream runs throughout, so the next file begins with the very next samples.
//
// Threads: EncodeAndWrite, SwitchToNextFile and FinishWriting run on the capture's delivery
// thread, one call at a time; OpenNextFile on the user-interface thread while recording;
// everything else on the user-interface thread while none of them can run. WriteFailed,
// FailedPath, PieceBytes, NextFilePending and WritingFinished may be read from any thread.

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/record/BladeEncApi.h"
#include "engine/record/FileSyncer.h"
#include "platform/FileSync.h"
#include "platform/SharedLibrary.h"
#include "platform/UniqueFd.h"

class CMp3Writer {
public:
    // Loads the encoder library from the program's folder or the install's library folder.
    CMp3Writer();
    // Loads the encoder library from the given folders, in order (tests).
    explicit CMp3Writer(std::vector<std::string> libraryDirs);
    ~CMp3Writer();
    CMp3Writer(const CMp3Writer&) = delete;
    CMp3Writer& operator=(const CMp3Writer&) = delete;

    // The encoder library's file name on this platform ("liblame_enc.so", "lame_enc.dll").
    static std::string LibraryFileName();
    // The folders searched by default: the executable's own, then the install's library folder.
    // Never the current folder.
    static std::vector<std::string> DefaultLibraryDirs();

    // Loads the library and resolves the six entry points (and beFlushNoGap, which a library
    // may lack: then CanSplit is false); shows a message on failure.
    bool LoadEncoder();
    // Fills the configuration record (bitrate in kbps, rate in Hz, stereo 0 or non-zero).
    void Configure(std::int32_t bitrateKbps, std::int32_t sampleRate, std::int32_t bitsPerSample,
                   std::int32_t stereo);
    bool OpenStream();
    // Bytes of PCM in one encoder chunk; meaningful after a successful OpenStream.
    std::uint32_t ChunkBytes() const;
    // Encodes one chunk (always SamplesPerChunk values; bytes is not used) and appends the MP3.
    bool EncodeAndWrite(const std::int16_t* samples, std::uint32_t bytes);
    // Nothing more will be written: what is left is synced and the file closed on the syncer's
    // thread (WritingFinished tells when). Never waits. Delivery thread, after the last write.
    void FinishWriting();
    // The file is synced for the last time and closed (or was never open).
    bool WritingFinished() const;
    // Replaces the real syncs (tests count or slow them). User-interface thread, before OpenFile.
    void SetFileSync(std::shared_ptr<platform::FileSync> sync) { m_sync = std::move(sync); }
    // Ends the encoder stream without a flush.
    void CloseStream();

    // Opens an existing file for writing (exclusively); shows a message on failure.
    bool OpenFile(const std::string& path);
    bool SeekToEnd();
    // Finishes writing (see FinishWriting) and waits for the last sync: only where nothing may
    // be left running (destruction, tests).
    void CloseFile();

    // True once a write or a sync failed; after a failed write the file was cut back to its
    // last whole frame, after a failed sync it keeps what was written.
    bool WriteFailed() const;
    // The file a failed write or sync was for (a split recording's earlier file, or the current
    // one); empty while none failed.
    std::string FailedPath() const;

    // The library can end a file and go on into the next one (it has beFlushNoGap).
    bool CanSplit() const { return m_loaded && m_beFlushNoGap != nullptr; }
    // Opens the next file of a split recording (an existing, empty one), for SwitchToNextFile to
    // take. False, without a message, when it cannot be opened, or a next file is pending already.
    // User-interface thread, while recording.
    bool OpenNextFile(const std::string& path);
    // A next file is open and not yet taken.
    bool NextFilePending() const { return m_nextReady.load(std::memory_order_acquire); }
    // Between two chunks: when a next file is pending, ends the current one with the gapless
    // flush (its syncer syncs and closes it) and goes on in the next. True when it switched.
    // Delivery thread.
    bool SwitchToNextFile();
    // The file written now (the next file after a switch). Delivery thread, or with it ended.
    const std::string& CurrentPath() const { return m_path; }
    // MP3 bytes written to the current file by this writer (since OpenFile or the last switch).
    std::uint64_t PieceBytes() const { return m_pieceBytes.load(std::memory_order_acquire); }

    bool IsLoaded() const { return m_loaded; }
    bool IsStreamOpen() const { return m_streamOpen; }
    bool IsFileOpen() const { return m_fileOpen; }
    std::uint32_t SamplesPerChunk() const { return m_samplesPerChunk; }
    const blade::BE_CONFIG& Config() const { return m_config; }

private:
    bool WriteAll(const std::uint8_t* data, std::size_t size);
    // Joins the syncers of earlier files that have finished, noting a failure. Delivery thread
    // (or with it ended), under m_syncersMutex.
    void ReapClosed();

    std::vector<std::string> m_libraryDirs;
    blade::BE_CONFIG m_config{};
    blade::HBE_STREAM m_stream = 0;
    std::uint32_t m_samplesPerChunk = 0;
    std::unique_ptr<std::uint8_t[]> m_outBuffer;
    std::uint32_t m_outBufferSize = 0;
    std::uint32_t m_bitsPerSample = 0;
    CSharedLibrary m_library;
    platform::UniqueFd m_file;
    std::string m_path;
    std::shared_ptr<platform::FileSync> m_sync = std::make_shared<platform::FileSync>();
    // Made by OpenFile (and at each switch); closes the file after its last sync. Replaced on
    // the delivery thread, read elsewhere: under m_syncersMutex, as are the earlier files'.
    std::unique_ptr<CFileSyncer> m_syncer;
    struct ClosedFile {
        std::string path;
        std::unique_ptr<CFileSyncer> syncer;
    };
    std::vector<ClosedFile> m_closed;
    std::string m_closedFailedPath;
    mutable std::mutex m_syncersMutex;
    // The next file, opened on the user-interface thread and handed over through m_nextReady.
    platform::UniqueFd m_nextFile;
    std::string m_nextPath;
    bool m_nextIsNew = false;
    std::atomic<bool> m_nextReady{false};
    std::atomic<std::uint64_t> m_pieceBytes{0};
    bool m_loaded = false;
    bool m_streamOpen = false;
    bool m_fileOpen = false;
    std::atomic<bool> m_writeFailed{false};

    blade::BEINITSTREAM m_beInitStream = nullptr;
    blade::BEENCODECHUNK m_beEncodeChunk = nullptr;
    blade::BEDEINITSTREAM m_beDeinitStream = nullptr;
    blade::BECLOSESTREAM m_beCloseStream = nullptr;
    blade::BEVERSION m_beVersion = nullptr;
    blade::BEWRITEVBRHEADER m_beWriteVBRHeader = nullptr;
    blade::BEFLUSHNOGAP m_beFlushNoGap = nullptr;
};
