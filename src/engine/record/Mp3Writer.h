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
// Threads: EncodeAndWrite and FinishWriting run on the capture's delivery thread, one call at a
// time; everything else runs on the user-interface thread while neither can run. WriteFailed
// and WritingFinished may be read from any thread.

#include <atomic>
#include <cstdint>
#include <memory>
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

    // Loads the library and resolves the six entry points; shows a message on failure.
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
    bool WriteFailed() const
    {
        return m_writeFailed.load(std::memory_order_acquire) || (m_syncer && m_syncer->Failed());
    }

    bool IsLoaded() const { return m_loaded; }
    bool IsStreamOpen() const { return m_streamOpen; }
    bool IsFileOpen() const { return m_fileOpen; }
    std::uint32_t SamplesPerChunk() const { return m_samplesPerChunk; }
    const blade::BE_CONFIG& Config() const { return m_config; }

private:
    bool WriteAll(const std::uint8_t* data, std::size_t size);

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
    // Made by OpenFile; closes the file after its last sync.
    std::unique_ptr<CFileSyncer> m_syncer;
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
};
