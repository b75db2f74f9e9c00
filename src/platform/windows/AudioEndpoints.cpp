#include "platform/windows/AudioEndpoints.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <thread>
#include <utility>

#include <windows.h>

#include <mmdeviceapi.h>
#include <mmreg.h>
#include <propidl.h>
#include <wrl/client.h>

#include "platform/windows/EndpointWatch.h"
#include "platform/windows/WideText.h"

namespace platform {
namespace {

using Microsoft::WRL::ComPtr;

// PKEY_Device_FriendlyName and PKEY_AudioEngine_DeviceFormat, spelled out here so that no
// library has to define them.
const PROPERTYKEY kFriendlyName{{0xa45c254e, 0xdf1c, 0x4efd, {0x80, 0x20, 0x67, 0xd1, 0x46, 0xa8, 0x50, 0xe0}}, 14};
const PROPERTYKEY kDeviceFormat{{0xf19f064d, 0x082c, 0x4e27, {0xbc, 0x73, 0x68, 0x82, 0xa1, 0xbb, 0x8e, 0x4c}}, 0};

// COM joined, in the multithreaded apartment, for the life of the object.
class ComApartment {
public:
    ComApartment() : m_joined(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_MULTITHREADED))) {}
    ~ComApartment()
    {
        if (m_joined)
            ::CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

private:
    bool m_joined;
};

// A property's value, cleared at the end.
class PropertyValue {
public:
    PropertyValue() { PropVariantInit(&value); }
    ~PropertyValue() { ::PropVariantClear(&value); }
    PropertyValue(const PropertyValue&) = delete;
    PropertyValue& operator=(const PropertyValue&) = delete;
    PROPVARIANT value;
};

struct CoTaskFree {
    void operator()(wchar_t* text) const { ::CoTaskMemFree(text); }
};

std::string IdOf(IMMDevice* device)
{
    wchar_t* raw = nullptr;
    if (FAILED(device->GetId(&raw)) || raw == nullptr)
        return {};
    const std::unique_ptr<wchar_t, CoTaskFree> id(raw);
    return Utf8(std::wstring(id.get()));
}

// The endpoint as a source: its ID, its friendly name (the ID when it has none) and the format
// the audio engine keeps for it, when it tells it.
bool Describe(IMMDevice* device, SoundSource& source)
{
    source.name = IdOf(device);
    if (source.name.empty())
        return false;
    source.description = source.name;
    ComPtr<IPropertyStore> properties;
    if (FAILED(device->OpenPropertyStore(STGM_READ, &properties)))
        return true;
    PropertyValue name;
    if (SUCCEEDED(properties->GetValue(kFriendlyName, &name.value)) && name.value.vt == VT_LPWSTR &&
        name.value.pwszVal != nullptr && name.value.pwszVal[0] != L'\0')
        source.description = Utf8(std::wstring(name.value.pwszVal));
    PropertyValue format;
    if (SUCCEEDED(properties->GetValue(kDeviceFormat, &format.value)) && format.value.vt == VT_BLOB &&
        format.value.blob.cbSize >= sizeof(WAVEFORMATEX) && format.value.blob.pBlobData != nullptr) {
        WAVEFORMATEX wave;
        std::memcpy(&wave, format.value.blob.pBlobData, sizeof wave);
        source.rate = wave.nSamplesPerSec;
        source.channels = wave.nChannels;
    }
    return true;
}

// Appends the active endpoints of one direction: capture endpoints as inputs, render
// endpoints as their loopback ("monitor" of that output). False when Windows cannot list them.
bool AppendEndpoints(IMMDeviceEnumerator* enumerator, EDataFlow flow, std::vector<SoundSource>& sources)
{
    ComPtr<IMMDeviceCollection> endpoints;
    UINT count = 0;
    if (FAILED(enumerator->EnumAudioEndpoints(flow, DEVICE_STATE_ACTIVE, &endpoints)) ||
        FAILED(endpoints->GetCount(&count)))
        return false;
    const std::size_t first = sources.size();
    for (UINT i = 0; i < count; ++i) {
        ComPtr<IMMDevice> device;
        SoundSource source;
        if (FAILED(endpoints->Item(i, &device)) || !Describe(device.Get(), source))
            continue;  // gone meanwhile: the news of it follows
        if (flow == eRender) {
            source.monitor = true;
            source.output = source.description;
        }
        sources.push_back(std::move(source));
    }
    // Windows gives no order of its own that lasts: by name (then ID), so the lists keep their
    // order from one listing to the next.
    std::sort(sources.begin() + static_cast<std::ptrdiff_t>(first), sources.end(),
              [](const SoundSource& a, const SoundSource& b) {
                  return a.description != b.description ? a.description < b.description : a.name < b.name;
              });
    return true;
}

std::string DefaultCapture(IMMDeviceEnumerator* enumerator)
{
    ComPtr<IMMDevice> device;
    if (FAILED(enumerator->GetDefaultAudioEndpoint(eCapture, eConsole, &device)))
        return {};  // none (E_NOTFOUND)
    return IdOf(device.Get());
}

bool Same(const std::vector<SoundSource>& a, const std::vector<SoundSource>& b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i].name != b[i].name || a[i].description != b[i].description || a[i].monitor != b[i].monitor ||
            a[i].output != b[i].output || a[i].rate != b[i].rate || a[i].channels != b[i].channels)
            return false;
    return true;
}

}  // namespace

AudioEndpoints& AudioEndpoints::Get()
{
    // Never destroyed: its thread ends with the process. Waiting for the thread at exit could
    // wait on an audio service that does not answer, and the process's end releases all it holds.
    static AudioEndpoints* const instance = new AudioEndpoints;
    return *instance;
}

AudioEndpoints::State AudioEndpoints::Connect()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_started) {
        m_started = true;
        m_state.store(State::Connecting, std::memory_order_release);
        std::thread(&AudioEndpoints::Run, this).detach();
    } else if (m_state.load(std::memory_order_acquire) == State::Failed) {
        m_state.store(State::Connecting, std::memory_order_release);
        m_retry = true;
        m_wake.notify_all();
    }
    return m_state.load(std::memory_order_acquire);
}

std::uint64_t AudioEndpoints::Watch()
{
    Connect();
    return m_version.load(std::memory_order_acquire);
}

std::vector<SoundSource> AudioEndpoints::Sources() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_sources;
}

std::string AudioEndpoints::DefaultSource() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_default;
}

void AudioEndpoints::WaitForWork(bool retryOnly)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_wake.wait(lock, [&] { return m_retry || (!retryOnly && m_news); });
    m_news = false;
    m_retry = false;
}

void AudioEndpoints::Publish(std::vector<SoundSource> sources, std::string defaultSource)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!Same(sources, m_sources) || defaultSource != m_default) {
            m_sources = std::move(sources);
            m_default = std::move(defaultSource);
            m_version.fetch_add(1, std::memory_order_acq_rel);
        }
    }
    m_listed.store(true, std::memory_order_release);
}

void AudioEndpoints::Run()
{
    const ComApartment com;
    for (;;) {
        ComPtr<IMMDeviceEnumerator> enumerator;
        if (SUCCEEDED(::CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_ALL,
                                         IID_PPV_ARGS(&enumerator)))) {
            // Registered before the first listing, so nothing that changes meanwhile is missed.
            const EndpointWatch watch(enumerator, [this](const EndpointWatch::News&) {
                {
                    std::lock_guard<std::mutex> lock(m_mutex);
                    m_news = true;
                }
                m_wake.notify_all();
            });
            for (;;) {
                std::vector<SoundSource> sources;
                if (!AppendEndpoints(enumerator.Get(), eCapture, sources) ||
                    !AppendEndpoints(enumerator.Get(), eRender, sources))
                    break;
                Publish(std::move(sources), DefaultCapture(enumerator.Get()));
                m_state.store(State::Ready, std::memory_order_release);
                WaitForWork(false);
            }
        }
        // No audio service: the list stays as it was; the next Connect tries again.
        m_state.store(State::Failed, std::memory_order_release);
        WaitForWork(true);
    }
}

}  // namespace platform
