#include "LameStream.h"

#include <cstdarg>

using namespace blade;

namespace {

// The quality byte counts only when the high byte is its complement, so a record that leaves
// nQuality at 0 keeps LAME's default quality.
bool QualityGiven(std::uint16_t quality, int& value)
{
    const unsigned low = quality & 0xFFu;
    const unsigned high = (quality >> 8) & 0xFFu;
    if (high != (~low & 0xFFu))
        return false;
    value = static_cast<int>(low);
    return true;
}

// The rates an MPEG audio layer III file can carry.
bool IsMpegRate(std::uint32_t rate)
{
    for (std::uint32_t r : {8000u, 11025u, 12000u, 16000u, 22050u, 24000u, 32000u, 44100u, 48000u})
        if (rate == r)
            return true;
    return false;
}

}  // namespace

BE_ERR CLameStream::Create(const BE_CONFIG& config, std::unique_ptr<CLameStream>& out)
{
    out.reset();
    if (config.dwConfig != BE_CONFIG_LAME || config.LHV1.dwStructVersion != CURRENT_STRUCT_VERSION ||
        config.LHV1.dwStructSize != CURRENT_STRUCT_SIZE)
        return BE_ERR_INVALID_FORMAT;

    const auto& c = config.LHV1;
    MPEG_mode mode;
    int channels = 2;
    switch (c.nMode) {
    case BE_MP3_MODE_STEREO:
    case BE_MP3_MODE_DUALCHANNEL:  // LAME has no dual-channel encoder; plain stereo keeps both
        mode = STEREO;
        break;
    case BE_MP3_MODE_JSTEREO:
        mode = JOINT_STEREO;
        break;
    case BE_MP3_MODE_MONO:
        mode = MONO;
        channels = 1;
        break;
    default:
        return BE_ERR_INVALID_FORMAT_PARAMETERS;
    }
    // LAME would quietly resample to the nearest MPEG rate; without resampling asked for, a
    // rate the file cannot carry is refused instead.
    const std::uint32_t outRate = c.dwReSampleRate != 0 ? c.dwReSampleRate : c.dwSampleRate;
    if (c.dwSampleRate == 0 || c.dwBitrate == 0 || !IsMpegRate(outRate))
        return BE_ERR_INVALID_FORMAT_PARAMETERS;

    std::unique_ptr<CLameStream> stream(new CLameStream);
    stream->m_lame.reset(lame_init());
    if (!stream->m_lame)
        return BE_ERR_INVALID_FORMAT_PARAMETERS;
    lame_global_flags* gf = stream->m_lame.get();

    lame_set_num_channels(gf, channels);
    lame_set_mode(gf, mode);
    lame_set_in_samplerate(gf, static_cast<int>(c.dwSampleRate));
    // dwReSampleRate 0 means "no resampling": the file gets the rate the sound arrives at,
    // instead of the lower rate LAME would otherwise pick by itself for small bitrates.
    lame_set_out_samplerate(gf, static_cast<int>(outRate));
    lame_set_brate(gf, static_cast<int>(c.dwBitrate));
    if (c.bEnableVBR) {
        lame_set_VBR(gf, vbr_default);
        lame_set_VBR_q(gf, c.nVBRQuality);
        lame_set_VBR_min_bitrate_kbps(gf, static_cast<int>(c.dwBitrate));
        if (c.dwMaxBitrate != 0)
            lame_set_VBR_max_bitrate_kbps(gf, static_cast<int>(c.dwMaxBitrate));
    } else {
        lame_set_VBR(gf, vbr_off);
    }
    lame_set_bWriteVbrTag(gf, c.bWriteVBRHeader ? 1 : 0);
    lame_set_copyright(gf, c.bCopyright ? 1 : 0);
    lame_set_original(gf, c.bOriginal ? 1 : 0);
    lame_set_error_protection(gf, c.bCRC ? 1 : 0);
    lame_set_extension(gf, c.bPrivate ? 1 : 0);
    lame_set_strict_ISO(gf, c.bStrictIso ? 1 : 0);
    lame_set_emphasis(gf, static_cast<int>(c.dwEmphasis));
    lame_set_disable_reservoir(gf, c.bNoRes ? 1 : 0);
    int quality = 0;
    if (QualityGiven(c.nQuality, quality))
        lame_set_quality(gf, quality);
    // LAME must not write anything to the console of the program that loads us.
    lame_set_errorf(gf, [](const char*, va_list) {});
    lame_set_debugf(gf, [](const char*, va_list) {});
    lame_set_msgf(gf, [](const char*, va_list) {});

    if (lame_init_params(gf) < 0)
        return BE_ERR_INVALID_FORMAT_PARAMETERS;

    // One MPEG frame per chunk: 1152 samples per channel for MPEG-1, 576 for MPEG-2 and 2.5.
    const int frame = lame_get_framesize(gf);
    if (frame <= 0)
        return BE_ERR_INVALID_FORMAT_PARAMETERS;
    stream->m_channels = channels;
    stream->m_samplesPerChunk = static_cast<std::uint32_t>(frame * channels);
    // LAME's worst case for n samples per channel is 1.25 n + 7200 bytes; the flush fits too.
    stream->m_outputBufferSize = static_cast<std::uint32_t>(frame + frame / 4 + 7200);
    out = std::move(stream);
    return BE_ERR_SUCCESSFUL;
}

BE_ERR CLameStream::Encode(std::uint32_t samples, const std::int16_t* pcm, std::uint8_t* output,
                           std::uint32_t* outputBytes)
{
    *outputBytes = 0;
    const int perChannel = static_cast<int>(samples / static_cast<std::uint32_t>(m_channels));
    // A chunk larger than promised could overrun the caller's buffer: LAME is told its size.
    const int size = static_cast<int>(m_outputBufferSize);
    int n;
    if (m_channels == 2)
        n = lame_encode_buffer_interleaved(m_lame.get(), const_cast<short*>(pcm), perChannel,
                                           output, size);
    else
        n = lame_encode_buffer(m_lame.get(), pcm, pcm, perChannel, output, size);
    if (n < 0)
        return BE_ERR_BUFFER_TOO_SMALL;
    *outputBytes = static_cast<std::uint32_t>(n);
    return BE_ERR_SUCCESSFUL;
}

BE_ERR CLameStream::Flush(std::uint8_t* output, std::uint32_t* outputBytes)
{
    *outputBytes = 0;
    const int n = lame_encode_flush(m_lame.get(), output, static_cast<int>(m_outputBufferSize));
    if (n < 0)
        return BE_ERR_BUFFER_TOO_SMALL;
    *outputBytes = static_cast<std::uint32_t>(n);
    return BE_ERR_SUCCESSFUL;
}

BE_ERR CLameStream::FlushNoGap(std::uint8_t* output, std::uint32_t* outputBytes)
{
    *outputBytes = 0;
    const int n = lame_encode_flush_nogap(m_lame.get(), output, static_cast<int>(m_outputBufferSize));
    if (n < 0)
        return BE_ERR_BUFFER_TOO_SMALL;
    *outputBytes = static_cast<std::uint32_t>(n);
    return BE_ERR_SUCCESSFUL;
}
