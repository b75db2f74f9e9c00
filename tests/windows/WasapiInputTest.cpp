// The Windows sound input on a real audio engine (Wine's, on the tests' PulseAudio, run by
// wine_test.sh): the default endpoint and one chosen by its ID record what is fed to them at
// its level, a missing ID is told as such, an endpoint that goes away while recording is lost
// and opens again by its ID once it is back, a new default endpoint is followed as a switch,
// and a delivery held up past the engine's buffer is reported as a drop where it lies.
//
// The endpoint is unplugged by unloading its PulseAudio module and plugged in again by loading
// it, asked of wine_test.sh through the file "ask" in the current folder (it removes the file
// once done). A new default is chosen as Wine's own settings choose it, in its driver's
// registry key, which Wine watches and tells its notification clients about. Prints what it
// measured; exits 1 on a failed check.

#include <windows.h>

#include <mmdeviceapi.h>
#include <propsys.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/record/windows/WasapiAudioInput.h"
#include "platform/windows/ComPtr.h"
#include "platform/windows/ComScope.h"
#include "platform/windows/WideText.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using platform::ComPtr;

constexpr std::uint32_t kRate = 44100;
// Where Wine's settings keep the chosen default endpoints of its PulseAudio driver.
constexpr const wchar_t* kWineDriverKey = L"Software\\Wine\\Drivers\\winepulse.drv";
int g_failures = 0;

void Check(bool ok, const std::string& what)
{
    std::printf("%s: %s\n", ok ? "ok" : "FAIL", what.c_str());
    std::fflush(stdout);
    if (!ok)
        ++g_failures;
}

// Has wine_test.sh change the sound server (what: a word it knows) and waits until it did.
void Ask(const char* what)
{
    std::ofstream("ask") << what << "\n";
    const auto until = Clock::now() + 20s;
    while (GetFileAttributesW(L"ask") != INVALID_FILE_ATTRIBUTES && Clock::now() < until)
        std::this_thread::sleep_for(50ms);
}

// The ID of the endpoint of that flow whose name holds part.
std::string EndpointId(EDataFlow flow, const wchar_t* part)
{
    ComPtr<IMMDeviceEnumerator> enumerator;
    ComPtr<IMMDeviceCollection> all;
    UINT count = 0;
    if (FAILED(CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_ALL, __uuidof(IMMDeviceEnumerator),
                                enumerator.PutVoid())) ||
        FAILED(enumerator->EnumAudioEndpoints(flow, DEVICE_STATE_ACTIVE, all.Put())) ||
        FAILED(all->GetCount(&count)))
        return {};
    const PROPERTYKEY friendlyName = {{0xa45c254e, 0xdf1c, 0x4efd, {0x80, 0x20, 0x67, 0xd1, 0x46, 0xa8, 0x50, 0xe0}}, 14};
    for (UINT i = 0; i < count; ++i) {
        ComPtr<IMMDevice> device;
        ComPtr<IPropertyStore> store;
        PROPVARIANT name;
        PropVariantInit(&name);
        LPWSTR id = nullptr;
        if (SUCCEEDED(all->Item(i, device.Put())) && SUCCEEDED(device->OpenPropertyStore(STGM_READ, store.Put())) &&
            SUCCEEDED(store->GetValue(friendlyName, &name)) && name.vt == VT_LPWSTR &&
            std::wcsstr(name.pwszVal, part) && SUCCEEDED(device->GetId(&id))) {
            std::string found = platform::Utf8(id);
            CoTaskMemFree(id);
            PropVariantClear(&name);
            return found;
        }
        PropVariantClear(&name);
    }
    return {};
}

// Keeps the last second of what the input delivered (stereo), and counts it all.
struct Sink {
    std::mutex mutex;
    std::vector<std::int16_t> last;
    std::atomic<std::uint64_t> frames{0};
    std::atomic<std::int64_t> stallMs{0};

    void Take(const std::uint8_t* data, std::size_t bytes)
    {
        const auto* samples = reinterpret_cast<const std::int16_t*>(data);
        {
            std::lock_guard lock(mutex);
            last.insert(last.end(), samples, samples + bytes / 2);
            if (last.size() > kRate * 2)
                last.erase(last.begin(), last.end() - kRate * 2);
        }
        frames.fetch_add(bytes / 4);
        if (const std::int64_t ms = stallMs.exchange(0); ms > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }
    // The peak (full scale 1.0) and the upward zero crossings of the left side's last second.
    std::pair<double, int> Measure()
    {
        std::lock_guard lock(mutex);
        double peak = 0;
        int crossings = 0;
        for (std::size_t i = 0; i + 2 < last.size(); i += 2) {
            peak = std::max(peak, std::abs(last[i]) / 32768.0);
            crossings += last[i] < 0 && last[i + 2] >= 0;
        }
        return {peak, crossings};
    }
};

bool WaitFor(const auto& done, std::chrono::milliseconds limit)
{
    for (const auto until = Clock::now() + limit; Clock::now() < until; std::this_thread::sleep_for(20ms))
        if (done())
            return true;
    return done();
}

// Opens and starts input as the recorder does; false when it could not.
bool Begin(CWasapiAudioInput& input, Sink& sink)
{
    const WaveFormat stereo{kWaveFormatPcm, 2, kRate, kRate * 4, 4, 16, 0};
    if (!input.Open(stereo, kRate / 20, [&](const std::uint8_t* d, std::size_t n) { sink.Take(d, n); }))
        return false;
    WaitFor([&] { return input.Progress() != IAudioInputDevice::OpenProgress::Opening; }, 5s);
    return input.Progress() == IAudioInputDevice::OpenProgress::Open && input.Start();
}

// Records two seconds; the left side holds a tone of hz at level (within 1.5 dB).
void Hears(CWasapiAudioInput& input, Sink& sink, int hz, double level, const std::string& what)
{
    const std::uint64_t from = sink.frames.load();
    WaitFor([&] { return sink.frames.load() > from + 2 * kRate; }, 10s);
    const auto [peak, crossings] = sink.Measure();
    std::printf("%s: peak %.3f, %d crossings, latency %.3f s\n", what.c_str(), peak, crossings, input.LatencySeconds());
    Check(std::abs(20 * std::log10(std::max(peak, 1e-6) / level)) < 1.5 && std::abs(crossings - hz) < hz / 20 + 2,
          what + ": the tone at its level");
    Check(!input.Lost() && input.Drops().empty(), what + ": not lost, nothing dropped");
}

}  // namespace

int main()
{
    platform::ComScope com;
    // The default endpoint (the first null sink's monitor, 1 kHz at 0.5).
    {
        Sink sink;  // before the input: it outlives the input's thread
        CWasapiAudioInput input("");
        Check(Begin(input, sink), "the default endpoint opens");
        Hears(input, sink, 1000, 0.5, "the default endpoint");
        // The delivery held up past the engine's buffer: one drop, as long as the hold less the
        // half second the buffer kept. Wine tells such a hole in two parts, a packet's worth at
        // its flag and the rest when the packets' times jump a few packets later (by the hold's
        // length, however long), and the input makes them one. Held past five seconds, the
        // packets handed over afterwards carry times that old, and still tell the hole.
        sink.stallMs = 6000;
        const auto seconds = [](const std::vector<InputDrop>& drops) {
            double sum = 0;
            for (const auto& drop : drops)
                sum += static_cast<double>(drop.frames) / kRate;
            return sum;
        };
        WaitFor([&] { return seconds(input.Drops()) > 5.0; }, 12s);
        std::this_thread::sleep_for(200ms);
        const auto drops = input.Drops();
        const double dropped = seconds(drops);
        std::printf("held 6 s: %zu drops, %.2f s\n", drops.size(), dropped);
        Check(drops.size() == 1 && dropped > 5.2 && dropped < 5.8, "a hold past the engine's buffer is a drop of its length");
        input.Close();
    }
    // An endpoint chosen by ID that is not the default (the second sink's monitor, 440 Hz at
    // 0.25), unplugged and plugged in again.
    const std::string second = EndpointId(eCapture, L"DrSecond");
    Check(!second.empty(), "the second endpoint is listed");
    {
        Sink sink, again;
        CWasapiAudioInput input(second);
        Check(Begin(input, sink), "the endpoint chosen by ID opens");
        Check(input.SourceName().find("DrSecond") != std::string::npos, "it is named: " + input.SourceName());
        Hears(input, sink, 440, 0.25, "the endpoint chosen by ID");
        Ask("unplug");
        Check(WaitFor([&] { return input.Lost(); }, 8s), "unplugged: lost");
        input.Close();
        Ask("plug");
        const bool reopened = WaitFor([&] { return Begin(input, again); }, 10s);
        Check(reopened, "plugged in again: opens again by its ID");
        if (reopened)
            Hears(input, again, 440, 0.25, "back");
    }
    // A missing ID.
    {
        Sink sink;
        CWasapiAudioInput input("{0.0.1.00000000}.{dddddddd-0000-0000-0000-000000000000}");
        Check(!Begin(input, sink) && input.SourceMissing(), "a missing ID: the source is missing");
    }
    // What the second sink plays, by loopback of its output endpoint: Wine 8's engine refuses
    // it (the stream opens, its capture client does not), which fails the opening without
    // taking the output for missing; an engine that has it records the tone.
    {
        Sink sink;
        CWasapiAudioInput input(EndpointId(eRender, L"DrSecond"));
        if (Begin(input, sink)) {
            // Wine 10's loopback sends its first packet a second or two after the start: the
            // timeline has silence till then.
            WaitFor([&] { return sink.frames.load() > 3 * kRate; }, 10s);
            Hears(input, sink, 440, 0.25, "the output's loopback");
            // Five seconds of nothing playing: silence on the timeline, no drop, not lost.
            Ask("hush");
            const std::uint64_t hushed = sink.frames.load();
            const auto hushedAt = Clock::now();
            std::this_thread::sleep_for(5s);
            const double kept = static_cast<double>(sink.frames.load() - hushed) / kRate;
            const double passed = std::chrono::duration<double>(Clock::now() - hushedAt).count();
            std::printf("nothing played for %.2f s: %.2f s recorded\n", passed, kept);
            Check(std::abs(kept - passed) < 0.3 && !input.Lost() && input.Drops().empty(),
                  "nothing playing: its time is kept, nothing dropped, not lost");
            Ask("play");
            Hears(input, sink, 440, 0.25, "the output's loopback, playing again");
        } else {
            std::printf("the output's loopback is refused\n");
            Check(input.Progress() == IAudioInputDevice::OpenProgress::Failed && !input.SourceMissing(),
                  "a refused loopback fails to open, and the output is not missing");
        }
    }
    // A new default while recording the default: followed, as a switch to its name.
    {
        Sink sink;  // before the input: it outlives the input's thread
        CWasapiAudioInput input("");
        Check(Begin(input, sink), "the default endpoint opens again");
        WaitFor([&] { return sink.frames.load() > kRate; }, 5s);
        const std::wstring id = platform::Wide(second);
        RegSetKeyValueW(HKEY_CURRENT_USER, kWineDriverKey, L"DefaultInput", REG_SZ, id.c_str(),
                        static_cast<DWORD>((id.size() + 1) * sizeof(wchar_t)));
        Check(WaitFor([&] { return !input.Switches().empty(); }, 5s), "a new default is followed");
        const auto switches = input.Switches();
        Check(!switches.empty() && switches[0].source.find("DrSecond") != std::string::npos &&
                  switches[0].atFrame > kRate / 2,
              "the switch names the new default, where it came");
        Hears(input, sink, 440, 0.25, "the new default");
        input.Close();
        RegDeleteKeyValueW(HKEY_CURRENT_USER, kWineDriverKey, L"DefaultInput");
    }
    return g_failures == 0 ? 0 : 1;
}
