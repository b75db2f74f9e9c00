#pragma once
// The BladeEnc-compatible encoder interface: the configuration record in its LAME header
// version 1 layout, the version record, the result codes and the six entry points (and beFlushNoGap) that the
// encoder library (liblame_enc.so / lame_enc.dll) exports with C linkage.
//
// Every field is a fixed-width 32-bit (or narrower) integer and the records are byte-packed, so
// the layout is the same for 32- and 64-bit builds and on every platform.

#include <cstddef>
#include <cstdint>

#include "platform/SharedLibraryExport.h"

namespace blade {

using BE_ERR = std::uint32_t;
using HBE_STREAM = std::uint32_t;

// Result codes.
constexpr BE_ERR BE_ERR_SUCCESSFUL = 0;
constexpr BE_ERR BE_ERR_INVALID_FORMAT = 1;             // unknown record (kind, version or size)
constexpr BE_ERR BE_ERR_INVALID_FORMAT_PARAMETERS = 2;  // known record, values LAME refuses
constexpr BE_ERR BE_ERR_NO_MORE_HANDLES = 3;
constexpr BE_ERR BE_ERR_INVALID_HANDLE = 4;
constexpr BE_ERR BE_ERR_BUFFER_TOO_SMALL = 5;           // the encoder failed to produce output

// Record kinds and the one record layout understood.
constexpr std::uint32_t BE_CONFIG_MP3 = 0;
constexpr std::uint32_t BE_CONFIG_LAME = 256;
constexpr std::uint32_t CURRENT_STRUCT_VERSION = 1;
constexpr std::uint32_t CURRENT_STRUCT_SIZE = 331;

// Channel modes (nMode).
constexpr std::int32_t BE_MP3_MODE_STEREO = 0;
constexpr std::int32_t BE_MP3_MODE_JSTEREO = 1;
constexpr std::int32_t BE_MP3_MODE_DUALCHANNEL = 2;
constexpr std::int32_t BE_MP3_MODE_MONO = 3;

// dwMpegVersion.
constexpr std::uint32_t MPEG1 = 1;
constexpr std::uint32_t MPEG2 = 0;

// nPreset: no preset.
constexpr std::int32_t LQP_NOPRESET = -1;

constexpr std::size_t BE_MAX_HOMEPAGE = 128;

#pragma pack(push, 1)

// The configuration record (dwConfig = BE_CONFIG_LAME, LAME header version 1): 331 bytes.
struct BE_CONFIG {
    std::uint32_t dwConfig;
    struct LHV1 {
        std::uint32_t dwStructVersion;
        std::uint32_t dwStructSize;
        std::uint32_t dwSampleRate;
        std::uint32_t dwReSampleRate;   // 0: no resampling
        std::int32_t nMode;
        std::uint32_t dwBitrate;        // kbps; the minimum when VBR is enabled
        std::uint32_t dwMaxBitrate;
        std::int32_t nPreset;
        std::uint32_t dwMpegVersion;
        std::uint32_t dwPsyModel;
        std::uint32_t dwEmphasis;
        std::uint32_t bPrivate;
        std::uint32_t bCRC;
        std::uint32_t bCopyright;
        std::uint32_t bOriginal;
        std::uint32_t bWriteVBRHeader;
        std::uint32_t bEnableVBR;
        std::int32_t nVBRQuality;
        std::uint32_t dwVbrAbr_bps;
        std::int32_t nVbrMethod;
        std::uint32_t bNoRes;
        std::uint32_t bStrictIso;
        std::uint16_t nQuality;         // low byte quality 0..9, high byte its complement
        std::uint8_t btReserved[237];
    } LHV1;
};

// Filled by beVersion.
struct BE_VERSION {
    std::uint8_t byDLLMajorVersion;
    std::uint8_t byDLLMinorVersion;
    std::uint8_t byMajorVersion;
    std::uint8_t byMinorVersion;
    std::uint8_t byDay;
    std::uint8_t byMonth;
    std::uint16_t wYear;
    char zHomepage[BE_MAX_HOMEPAGE + 1];
    std::uint8_t byAlphaLevel;
    std::uint8_t byBetaLevel;
    std::uint8_t byMMXEnabled;
    std::uint8_t btReserved[125];
};

#pragma pack(pop)

static_assert(sizeof(BE_CONFIG) == CURRENT_STRUCT_SIZE);
static_assert(offsetof(BE_CONFIG, dwConfig) == 0);
static_assert(offsetof(BE_CONFIG, LHV1) == 4);
static_assert(offsetof(BE_CONFIG, LHV1.dwStructVersion) == 4);
static_assert(offsetof(BE_CONFIG, LHV1.dwStructSize) == 8);
static_assert(offsetof(BE_CONFIG, LHV1.dwSampleRate) == 12);
static_assert(offsetof(BE_CONFIG, LHV1.dwReSampleRate) == 16);
static_assert(offsetof(BE_CONFIG, LHV1.nMode) == 20);
static_assert(offsetof(BE_CONFIG, LHV1.dwBitrate) == 24);
static_assert(offsetof(BE_CONFIG, LHV1.dwMaxBitrate) == 28);
static_assert(offsetof(BE_CONFIG, LHV1.nPreset) == 32);
static_assert(offsetof(BE_CONFIG, LHV1.dwMpegVersion) == 36);
static_assert(offsetof(BE_CONFIG, LHV1.dwPsyModel) == 40);
static_assert(offsetof(BE_CONFIG, LHV1.dwEmphasis) == 44);
static_assert(offsetof(BE_CONFIG, LHV1.bPrivate) == 48);
static_assert(offsetof(BE_CONFIG, LHV1.bCRC) == 52);
static_assert(offsetof(BE_CONFIG, LHV1.bCopyright) == 56);
static_assert(offsetof(BE_CONFIG, LHV1.bOriginal) == 60);
static_assert(offsetof(BE_CONFIG, LHV1.bWriteVBRHeader) == 64);
static_assert(offsetof(BE_CONFIG, LHV1.bEnableVBR) == 68);
static_assert(offsetof(BE_CONFIG, LHV1.nVBRQuality) == 72);
static_assert(offsetof(BE_CONFIG, LHV1.dwVbrAbr_bps) == 76);
static_assert(offsetof(BE_CONFIG, LHV1.nVbrMethod) == 80);
static_assert(offsetof(BE_CONFIG, LHV1.bNoRes) == 84);
static_assert(offsetof(BE_CONFIG, LHV1.bStrictIso) == 88);
static_assert(offsetof(BE_CONFIG, LHV1.nQuality) == 92);
static_assert(offsetof(BE_CONFIG, LHV1.btReserved) == 94);
static_assert(sizeof(BE_VERSION) == 265);
static_assert(offsetof(BE_VERSION, wYear) == 6);
static_assert(offsetof(BE_VERSION, zHomepage) == 8);

// The entry points, as the writer resolves them by name.
using BEINITSTREAM = BE_ERR (*)(BE_CONFIG* config, std::uint32_t* samples,
                                std::uint32_t* bufferSize, HBE_STREAM* stream);
using BEENCODECHUNK = BE_ERR (*)(HBE_STREAM stream, std::uint32_t samples,
                                 const std::int16_t* pcm, std::uint8_t* output,
                                 std::uint32_t* outputBytes);
using BEDEINITSTREAM = BE_ERR (*)(HBE_STREAM stream, std::uint8_t* output,
                                  std::uint32_t* outputBytes);
using BECLOSESTREAM = BE_ERR (*)(HBE_STREAM stream);
using BEVERSION = void (*)(BE_VERSION* version);
using BEWRITEVBRHEADER = BE_ERR (*)(const char* fileName);
// Beside the six: ends one piece of a stream that goes on into another file (LAME's gapless
// flush). Optional: a library without it records, but never splits a recording.
using BEFLUSHNOGAP = BE_ERR (*)(HBE_STREAM stream, std::uint8_t* output, std::uint32_t* outputBytes);

}  // namespace blade

// Declarations of the exported functions, for the library that implements them.
#define BLADE_EXPORT extern "C" DR_SHARED_EXPORT
