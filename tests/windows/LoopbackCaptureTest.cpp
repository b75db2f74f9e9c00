// What the default output plays, captured by WASAPI loopback in shared mode, as the program's
// loopback source will capture it: a plain program (no test framework in the Windows build) that
// wine10_test.sh runs under Wine 10 beside the tests' PulseAudio while a tone plays to the
// speaker with a pause in the middle.
//
//   loopback-capture-test.exe SECONDS OUT.wav [BUFFER_MS, default 1000]
//
// Writes what it captured as 32-bit float WAV, each packet at its device position (a jump of the
// position is written as silence, so the file keeps the stream's timeline), and prints what the
// stream delivered: packets, frames, frames flagged silent, discontinuities, position jumps, and
// the longest time without a packet (by the packets' performance-counter times), which tells
// whether packets stop while nothing plays. Prints "capturing" once the stream runs. Exits 1 when the endpoint cannot be captured.

#include <windows.h>

#include <audioclient.h>
#include <mmdeviceapi.h>
#include <wrl/client.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace {

using Microsoft::WRL::ComPtr;

// COM on this thread for the holder's life.
class ComApartment {
public:
    ComApartment() : m_ok(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) {}
    ~ComApartment()
    {
        if (m_ok)
            CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    bool Ok() const { return m_ok; }

private:
    bool m_ok;
};

struct CoTaskMemFreer {
    void operator()(void* p) const { CoTaskMemFree(p); }
};
using MixFormat = std::unique_ptr<WAVEFORMATEX, CoTaskMemFreer>;

// The client stopped on every way out once started.
class StartedClient {
public:
    explicit StartedClient(IAudioClient* client) : m_client(client) {}
    ~StartedClient() { m_client->Stop(); }
    StartedClient(const StartedClient&) = delete;
    StartedClient& operator=(const StartedClient&) = delete;

private:
    IAudioClient* m_client;
};

int Fail(const char* what, HRESULT hr)
{
    std::fprintf(stderr, "loopback: %s failed (0x%08lx)\n", what, static_cast<unsigned long>(hr));
    return 1;
}

bool IsFloat(const WAVEFORMATEX& format)
{
    if (format.wFormatTag == WAVE_FORMAT_IEEE_FLOAT)
        return true;
    if (format.wFormatTag != WAVE_FORMAT_EXTENSIBLE)
        return false;
    // The sub-format GUIDs of the wave formats carry the format tag in their first field.
    const auto& ext = reinterpret_cast<const WAVEFORMATEXTENSIBLE&>(format);
    return ext.SubFormat.Data1 == WAVE_FORMAT_IEEE_FLOAT;
}

// Appends SAMPLES of FORMAT as floats (32-bit float as it is, 16-bit integer scaled).
void AppendSamples(std::vector<float>& out, const BYTE* data, std::size_t samples, const WAVEFORMATEX& format)
{
    if (format.wBitsPerSample == 32) {
        const std::size_t at = out.size();
        out.resize(at + samples);
        std::memcpy(out.data() + at, data, samples * sizeof(float));
        return;
    }
    const auto* pcm = reinterpret_cast<const std::int16_t*>(data);
    for (std::size_t i = 0; i < samples; ++i)
        out.push_back(static_cast<float>(pcm[i]) / 32768.0F);
}

bool WriteWav(const char* path, const std::vector<float>& samples, std::uint16_t channels, std::uint32_t rate)
{
    std::FILE* file = std::fopen(path, "wb");
    if (file == nullptr)
        return false;
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> closer(file, std::fclose);
    const std::uint32_t bytes = static_cast<std::uint32_t>(samples.size() * sizeof(float));
    const std::uint16_t tag = 3;  // IEEE float
    const std::uint16_t align = static_cast<std::uint16_t>(channels * 4);
    const std::uint16_t bits = 32;
    const std::uint32_t byteRate = rate * align;
    const std::uint32_t fmtSize = 18;  // with the extension's size, 0, as float formats have it
    const std::uint16_t extension = 0;
    const std::uint32_t riffSize = 4 + 8 + fmtSize + 8 + bytes;
    bool ok = std::fwrite("RIFF", 1, 4, file) == 4;
    ok = ok && std::fwrite(&riffSize, 4, 1, file) == 1 && std::fwrite("WAVEfmt ", 1, 8, file) == 8;
    ok = ok && std::fwrite(&fmtSize, 4, 1, file) == 1 && std::fwrite(&tag, 2, 1, file) == 1;
    ok = ok && std::fwrite(&channels, 2, 1, file) == 1 && std::fwrite(&rate, 4, 1, file) == 1;
    ok = ok && std::fwrite(&byteRate, 4, 1, file) == 1 && std::fwrite(&align, 2, 1, file) == 1;
    ok = ok && std::fwrite(&bits, 2, 1, file) == 1 && std::fwrite(&extension, 2, 1, file) == 1;
    ok = ok && std::fwrite("data", 1, 4, file) == 4;
    ok = ok && std::fwrite(&bytes, 4, 1, file) == 1;
    return ok && std::fwrite(samples.data(), 1, bytes, file) == bytes;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: loopback-capture-test SECONDS OUT.wav [BUFFER_MS]\n");
        return 2;
    }
    const double seconds = std::atof(argv[1]);
    const ComApartment com;
    if (!com.Ok())
        return Fail("CoInitializeEx", E_FAIL);

    ComPtr<IMMDeviceEnumerator> devices;
    HRESULT hr = CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_ALL, IID_PPV_ARGS(&devices));
    if (FAILED(hr))
        return Fail("the device enumerator", hr);
    ComPtr<IMMDevice> output;
    if (FAILED(hr = devices->GetDefaultAudioEndpoint(eRender, eConsole, &output)))
        return Fail("the default render endpoint", hr);
    LPWSTR rawId = nullptr;
    if (SUCCEEDED(output->GetId(&rawId))) {
        const std::unique_ptr<wchar_t, CoTaskMemFreer> id(rawId);
        std::printf("endpoint: %ls\n", id.get());
    }
    ComPtr<IAudioClient> client;
    if (FAILED(hr = output->Activate(__uuidof(IAudioClient), CLSCTX_ALL, nullptr, &client)))
        return Fail("IAudioClient", hr);
    WAVEFORMATEX* rawFormat = nullptr;
    if (FAILED(hr = client->GetMixFormat(&rawFormat)))
        return Fail("GetMixFormat", hr);
    const MixFormat format(rawFormat);
    const bool isFloat = IsFloat(*format);
    std::printf("mix format: %lu Hz, %u channels, %u bits %s\n", static_cast<unsigned long>(format->nSamplesPerSec),
                format->nChannels, format->wBitsPerSample, isFloat ? "float" : "integer");
    if (!(isFloat && format->wBitsPerSample == 32) && !(!isFloat && format->wBitsPerSample == 16))
        return Fail("a mix format this test reads", E_FAIL);

    const REFERENCE_TIME buffer = (argc == 4 ? std::atoi(argv[3]) : 1000) * REFERENCE_TIME{10'000};  // in 100 ns
    if (FAILED(hr = client->Initialize(AUDCLNT_SHAREMODE_SHARED, AUDCLNT_STREAMFLAGS_LOOPBACK, buffer, 0,
                                       format.get(), nullptr)))
        return Fail("Initialize with AUDCLNT_STREAMFLAGS_LOOPBACK", hr);
    ComPtr<IAudioCaptureClient> capture;
    if (FAILED(hr = client->GetService(IID_PPV_ARGS(&capture))))
        return Fail("IAudioCaptureClient", hr);
    if (FAILED(hr = client->Start()))
        return Fail("Start", hr);
    const StartedClient started(client.Get());
    std::printf("capturing\n");
    std::fflush(stdout);

    const std::uint16_t channels = format->nChannels;
    const std::uint32_t rate = format->nSamplesPerSec;
    std::vector<float> samples;
    samples.reserve(static_cast<std::size_t>((seconds + 2) * rate * channels));
    std::uint64_t packets = 0, silentFrames = 0, discontinuities = 0, jumps = 0, jumpFrames = 0;
    bool first = true;
    UINT64 origin = 0, firstTime = 0, lastTime = 0, longestWithout = 0;

    LARGE_INTEGER frequency, now, begin, firstRead{};
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&begin);
    // The packets' times are in 100 ns units of the performance counter.
    const double startTime = static_cast<double>(begin.QuadPart) * 1e7 / static_cast<double>(frequency.QuadPart);
    for (now = begin; static_cast<double>(now.QuadPart - begin.QuadPart) < seconds * frequency.QuadPart;
         QueryPerformanceCounter(&now)) {
        Sleep(10);
        UINT32 next = 0;
        while (SUCCEEDED(hr = capture->GetNextPacketSize(&next)) && next > 0) {
            BYTE* data = nullptr;
            UINT32 frames = 0;
            DWORD flags = 0;
            UINT64 position = 0, time = 0;
            if (FAILED(hr = capture->GetBuffer(&data, &frames, &flags, &position, &time)))
                return Fail("GetBuffer", hr);
            if (first) {
                firstRead = now;
                origin = position;
                firstTime = lastTime = time;
                first = false;
            }
            ++packets;
            longestWithout = std::max<UINT64>(longestWithout, time - lastTime);
            lastTime = time;
            if ((flags & AUDCLNT_BUFFERFLAGS_DATA_DISCONTINUITY) != 0)
                ++discontinuities;
            // The packet goes where its device position says; a jump forward is silence.
            const std::size_t at = static_cast<std::size_t>(position - origin) * channels;
            if (at > samples.size()) {
                ++jumps;
                jumpFrames += (at - samples.size()) / channels;
                samples.resize(at, 0.0F);
            }
            samples.resize(std::min(samples.size(), at));
            if ((flags & AUDCLNT_BUFFERFLAGS_SILENT) != 0) {
                silentFrames += frames;
                samples.resize(samples.size() + static_cast<std::size_t>(frames) * channels, 0.0F);
            } else {
                AppendSamples(samples, data, static_cast<std::size_t>(frames) * channels, *format);
            }
            capture->ReleaseBuffer(frames);
        }
        if (FAILED(hr))
            return Fail("GetNextPacketSize", hr);
    }

    const auto framesOut = samples.size() / channels;
    std::printf("packets %llu, frames %.3f s, flagged silent %.3f s, discontinuities %llu, "
                "position jumps %llu (%.3f s), first packet read %.0f ms after the start (stamped %.0f ms), packets' time span %.3f s, "
                "longest without a packet %.0f ms\n",
                static_cast<unsigned long long>(packets), static_cast<double>(framesOut) / rate,
                static_cast<double>(silentFrames) / rate, static_cast<unsigned long long>(discontinuities),
                static_cast<unsigned long long>(jumps), static_cast<double>(jumpFrames) / rate,
                static_cast<double>(firstRead.QuadPart - begin.QuadPart) * 1e3 / static_cast<double>(frequency.QuadPart),
                (static_cast<double>(firstTime) - startTime) / 1e4, static_cast<double>(lastTime - firstTime) / 1e7, static_cast<double>(longestWithout) / 1e4);
    if (packets == 0)
        return Fail("capturing any packet", E_FAIL);
    if (!WriteWav(argv[2], samples, channels, rate))
        return Fail("writing the WAV file", E_FAIL);
    return 0;
}
