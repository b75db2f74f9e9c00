#include "engine/play/MpegFrameHeader.h"

namespace play {

namespace {

// Kilobits per second by [MPEG 1 / MPEG 2 and 2.5][layer - 1][index].
constexpr int kBitrates[2][3][16] = {
    {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
     {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
     {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0}},
    {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0}},
};

// Hz by [version - 1][index].
constexpr int kRates[3][3] = {{44100, 48000, 32000}, {22050, 24000, 16000}, {11025, 12000, 8000}};

// Everything but the bitrate is valid.
bool ValidApartFromBitrate(const unsigned char* b)
{
    if (b[0] != 0xFF || (b[1] & 0xE0) != 0xE0)
        return false;
    const int versionBits = (b[1] >> 3) & 3;
    const int layerBits = (b[1] >> 1) & 3;
    const int rateIndex = (b[2] >> 2) & 3;
    return versionBits != 1 && layerBits != 0 && rateIndex != 3 && (b[3] & 3) != 2;
}

}  // namespace

bool MpegFrameHeader::IsFreeFormat(const unsigned char* b) { return ValidApartFromBitrate(b) && (b[2] >> 4) == 0; }

std::optional<MpegFrameHeader> MpegFrameHeader::Parse(const unsigned char* b, int freeFormatBytes)
{
    const int bitrateIndex = b[2] >> 4;
    if (!ValidApartFromBitrate(b) || bitrateIndex == 15 || (bitrateIndex == 0 && freeFormatBytes <= 0))
        return std::nullopt;

    const int versionBits = (b[1] >> 3) & 3;
    MpegFrameHeader h;
    h.version = versionBits == 3 ? 1 : versionBits == 2 ? 2 : 3;
    h.layer = 4 - ((b[1] >> 1) & 3);
    h.sampleRate = kRates[h.version - 1][(b[2] >> 2) & 3];
    h.channelMode = b[3] >> 6;
    const int padding = (b[2] >> 1) & 1;
    // Bytes per frame = bitrate × bytesPerBit / rate (a slot is 4 bytes in layer I, 1 otherwise).
    int slotBytes = 1;
    long coefficient = 0;
    if (h.layer == 1) {
        h.samplesPerFrame = 384;
        coefficient = 48;
        slotBytes = 4;
    } else if (h.layer == 2 || h.version == 1) {
        h.samplesPerFrame = 1152;
        coefficient = 144;
    } else {
        h.samplesPerFrame = 576;
        coefficient = 72;
    }
    if (bitrateIndex == 0) {
        h.freeFormatBytes = freeFormatBytes;
        h.frameBytes = freeFormatBytes + padding * slotBytes;
        h.bitrateKbps = static_cast<int>(static_cast<long>(freeFormatBytes) * h.sampleRate / (coefficient * 1000));
        return h;
    }
    h.bitrateKbps = kBitrates[h.version == 1 ? 0 : 1][h.layer - 1][bitrateIndex];
    const long bitrate = h.bitrateKbps * 1000L;
    if (h.layer == 1)
        h.frameBytes = static_cast<int>((12 * bitrate / h.sampleRate + padding) * 4);
    else
        h.frameBytes = static_cast<int>(coefficient * bitrate / h.sampleRate + padding);
    return h;
}

}  // namespace play
