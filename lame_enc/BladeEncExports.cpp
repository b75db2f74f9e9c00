// The C entry points of the BladeEnc-compatible encoder library: the six of the interface and
// beFlushNoGap, which ends one file of a recording split into several (see README.md). Streams are kept in a
// table keyed by 32-bit handles (the interface's handle is 32 bits wide, so it cannot carry a
// pointer on 64-bit systems).
//
// Thread: any thread. The table is guarded; one stream is used by one thread at a time.

#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>

#include "LameStream.h"

using namespace blade;

namespace {

std::mutex g_tableMutex;
std::map<HBE_STREAM, std::unique_ptr<CLameStream>> g_streams;
HBE_STREAM g_nextHandle = 1;

CLameStream* Find(HBE_STREAM handle)
{
    std::lock_guard<std::mutex> lock(g_tableMutex);
    const auto it = g_streams.find(handle);
    return it == g_streams.end() ? nullptr : it->second.get();
}

}  // namespace

BLADE_EXPORT BE_ERR beInitStream(BE_CONFIG* config, std::uint32_t* samples,
                                 std::uint32_t* bufferSize, HBE_STREAM* stream)
{
    if (config == nullptr || samples == nullptr || bufferSize == nullptr || stream == nullptr)
        return BE_ERR_INVALID_FORMAT_PARAMETERS;
    // Read the record by bytes first: a caller with an older, shorter record must not make us
    // read past its end, so only the header is trusted until its size is checked.
    BE_CONFIG copy;
    std::memset(&copy, 0, sizeof copy);
    std::memcpy(&copy, config, 12);
    if (copy.dwConfig != BE_CONFIG_LAME || copy.LHV1.dwStructVersion != CURRENT_STRUCT_VERSION ||
        copy.LHV1.dwStructSize != CURRENT_STRUCT_SIZE)
        return BE_ERR_INVALID_FORMAT;
    std::memcpy(&copy, config, sizeof copy);

    std::unique_ptr<CLameStream> created;
    const BE_ERR result = CLameStream::Create(copy, created);
    if (result != BE_ERR_SUCCESSFUL)
        return result;
    *samples = created->SamplesPerChunk();
    *bufferSize = created->OutputBufferSize();

    std::lock_guard<std::mutex> lock(g_tableMutex);
    HBE_STREAM handle = g_nextHandle;
    while (handle == 0 || g_streams.count(handle) != 0)
        ++handle;
    g_nextHandle = handle + 1;
    g_streams.emplace(handle, std::move(created));
    *stream = handle;
    return BE_ERR_SUCCESSFUL;
}

BLADE_EXPORT BE_ERR beEncodeChunk(HBE_STREAM handle, std::uint32_t samples,
                                  const std::int16_t* pcm, std::uint8_t* output,
                                  std::uint32_t* outputBytes)
{
    CLameStream* stream = Find(handle);
    if (stream == nullptr)
        return BE_ERR_INVALID_HANDLE;
    if (outputBytes == nullptr || output == nullptr || (pcm == nullptr && samples != 0))
        return BE_ERR_INVALID_FORMAT_PARAMETERS;
    return stream->Encode(samples, pcm, output, outputBytes);
}

BLADE_EXPORT BE_ERR beDeinitStream(HBE_STREAM handle, std::uint8_t* output,
                                   std::uint32_t* outputBytes)
{
    CLameStream* stream = Find(handle);
    if (stream == nullptr)
        return BE_ERR_INVALID_HANDLE;
    if (outputBytes == nullptr || output == nullptr)
        return BE_ERR_INVALID_FORMAT_PARAMETERS;
    return stream->Flush(output, outputBytes);
}

// Ends the piece of the stream written so far: completes its last frame (LAME's gapless flush),
// so what was returned since beInitStream or the last beFlushNoGap is a whole file. The samples
// the encoder holds back stay in the stream and begin the next piece: the stream goes on with
// beEncodeChunk, and the pieces decoded one after the other are the input without a gap or a
// repeat. output must hold the size beInitStream gave.
BLADE_EXPORT BE_ERR beFlushNoGap(HBE_STREAM handle, std::uint8_t* output, std::uint32_t* outputBytes)
{
    CLameStream* stream = Find(handle);
    if (stream == nullptr)
        return BE_ERR_INVALID_HANDLE;
    if (outputBytes == nullptr || output == nullptr)
        return BE_ERR_INVALID_FORMAT_PARAMETERS;
    return stream->FlushNoGap(output, outputBytes);
}

BLADE_EXPORT BE_ERR beCloseStream(HBE_STREAM handle)
{
    std::unique_ptr<CLameStream> closing;
    {
        std::lock_guard<std::mutex> lock(g_tableMutex);
        const auto it = g_streams.find(handle);
        if (it == g_streams.end())
            return BE_ERR_INVALID_HANDLE;
        closing = std::move(it->second);
        g_streams.erase(it);
    }
    return BE_ERR_SUCCESSFUL;
}

BLADE_EXPORT void beVersion(BE_VERSION* version)
{
    if (version == nullptr)
        return;
    std::memset(version, 0, sizeof *version);
    version->byDLLMajorVersion = 1;
    version->byDLLMinorVersion = 32;
    // The engine version is the libmp3lame we run on, e.g. "3.100".
    const char* lame = get_lame_short_version();
    int major = 0;
    int minor = 0;
    if (lame != nullptr && std::sscanf(lame, "%d.%d", &major, &minor) >= 1) {
        version->byMajorVersion = static_cast<std::uint8_t>(major);
        version->byMinorVersion = static_cast<std::uint8_t>(minor);
    }
    version->byDay = 1;
    version->byMonth = 1;
    version->wYear = 2024;
    std::strncpy(version->zHomepage, get_lame_url(), BE_MAX_HOMEPAGE);
}

// This library never writes VBR headers, so there is none to rewrite.
BLADE_EXPORT BE_ERR beWriteVBRHeader(const char* fileName)
{
    return BE_ERR_INVALID_FORMAT_PARAMETERS;
}
