#include "platform/windows/WasapiStream.h"

#include <windows.h>

#include <audioclient.h>
#include <mmdeviceapi.h>
#include <mmreg.h>
#include <propidl.h>
#include <propsys.h>

#include "platform/windows/ComPtr.h"
#include "platform/windows/WakeEvent.h"
#include "platform/windows/WideText.h"

namespace platform {

namespace {

// The endpoint's friendly name ({a45c254e-df1c-4efd-8020-67d146a850e0}, 14).
const PROPERTYKEY kFriendlyName = {{0xa45c254e, 0xdf1c, 0x4efd, {0x80, 0x20, 0x67, 0xd1, 0x46, 0xa8, 0x50, 0xe0}}, 14};

// Memory the engine allocated for us, freed when it goes.
struct TaskMemory {
    void* p = nullptr;
    ~TaskMemory() { CoTaskMemFree(p); }
};

// The PROPVARIANT of a property store's value, cleared when it goes.
struct PropValue {
    PROPVARIANT value;
    PropValue() { PropVariantInit(&value); }
    ~PropValue() { PropVariantClear(&value); }
};

// True when an extensible format's sub-format is the one of a plain format tag (the sub-formats
// are the tag in the base GUID {xxxxxxxx-0000-0010-8000-00aa00389b71}).
bool SubFormatIs(const GUID& sub, WORD tag)
{
    const GUID base = {tag, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
    return IsEqualGUID(sub, base);
}

WasapiStream::Result Classify(HRESULT hr)
{
    switch (hr) {
    case AUDCLNT_E_DEVICE_INVALIDATED:
    case AUDCLNT_E_SERVICE_NOT_RUNNING: return WasapiStream::Result::Lost;
    case HRESULT_FROM_WIN32(ERROR_NOT_FOUND): return WasapiStream::Result::NoEndpoint;
    case AUDCLNT_E_UNSUPPORTED_FORMAT:
    case AUDCLNT_E_DEVICE_IN_USE:
    case AUDCLNT_E_EXCLUSIVE_MODE_ONLY:
    case AUDCLNT_E_WRONG_ENDPOINT_TYPE:
    case AUDCLNT_E_ENDPOINT_CREATE_FAILED:
    case AUDCLNT_E_INVALID_STREAM_FLAG:
    case E_INVALIDARG: return WasapiStream::Result::Refused;
    default: return WasapiStream::Result::Failed;
    }
}

bool ReadFormat(const WAVEFORMATEX& mix, WasapiStream::Format& format)
{
    format = {};
    format.channels = mix.nChannels;
    format.rate = mix.nSamplesPerSec;
    format.bits = mix.wBitsPerSample;
    format.validBits = mix.wBitsPerSample;
    if (mix.wFormatTag == WAVE_FORMAT_EXTENSIBLE && mix.cbSize >= 22) {
        const auto& ext = reinterpret_cast<const WAVEFORMATEXTENSIBLE&>(mix);
        format.channelMask = ext.dwChannelMask;
        if (ext.Samples.wValidBitsPerSample != 0)
            format.validBits = ext.Samples.wValidBitsPerSample;
        if (SubFormatIs(ext.SubFormat, WAVE_FORMAT_IEEE_FLOAT))
            format.isFloat = true;
        else if (!SubFormatIs(ext.SubFormat, WAVE_FORMAT_PCM))
            return false;
    } else if (mix.wFormatTag == WAVE_FORMAT_IEEE_FLOAT) {
        format.isFloat = true;
    } else if (mix.wFormatTag != WAVE_FORMAT_PCM) {
        return false;
    }
    if (format.isFloat && format.bits != 32)
        return false;
    return format.channels > 0 && format.rate > 0 &&
           (format.bits == 8 || format.bits == 16 || format.bits == 24 || format.bits == 32);
}

std::string FriendlyName(IMMDevice* device)
{
    ComPtr<IPropertyStore> store;
    if (FAILED(device->OpenPropertyStore(STGM_READ, store.Put())))
        return {};
    PropValue name;
    if (FAILED(store->GetValue(kFriendlyName, &name.value)) || name.value.vt != VT_LPWSTR || !name.value.pwszVal)
        return {};
    return Utf8(name.value.pwszVal);
}

}  // namespace

struct WasapiStream::Interfaces {
    ComPtr<IMMDevice> device;
    ComPtr<IAudioClient> client;
    ComPtr<IAudioCaptureClient> capture;
};

WasapiStream::WasapiStream() = default;

WasapiStream::~WasapiStream()
{
    Close();
}

WasapiStream::Result WasapiStream::Open(const std::string& id, unsigned bufferMs)
{
    Close();
    auto com = std::make_unique<Interfaces>();
    ComPtr<IMMDeviceEnumerator> enumerator;
    HRESULT hr = CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_ALL, __uuidof(IMMDeviceEnumerator),
                                  enumerator.PutVoid());
    if (FAILED(hr))
        return Result::Failed;
    hr = id.empty() ? enumerator->GetDefaultAudioEndpoint(eCapture, eConsole, com->device.Put())
                    : enumerator->GetDevice(Wide(id).c_str(), com->device.Put());
    if (FAILED(hr))
        return hr == E_OUTOFMEMORY ? Result::Failed : Result::NoEndpoint;
    DWORD state = 0;
    if (FAILED(com->device->GetState(&state)) || state != DEVICE_STATE_ACTIVE)
        return Result::NoEndpoint;
    TaskMemory endpointId;
    if (SUCCEEDED(com->device->GetId(reinterpret_cast<LPWSTR*>(&endpointId.p))) && endpointId.p)
        m_id = Utf8(static_cast<const wchar_t*>(endpointId.p));
    m_name = FriendlyName(com->device.Get());
    ComPtr<IMMEndpoint> endpoint;
    EDataFlow flow = eCapture;
    if (SUCCEEDED(com->device->QueryInterface(__uuidof(IMMEndpoint), endpoint.PutVoid())))
        endpoint->GetDataFlow(&flow);
    m_loopback = flow == eRender;

    hr = com->device->Activate(__uuidof(IAudioClient), CLSCTX_ALL, nullptr, com->client.PutVoid());
    if (FAILED(hr))
        return Classify(hr) == Result::Failed ? Result::Refused : Classify(hr);
    TaskMemory mix;
    if (FAILED(com->client->GetMixFormat(reinterpret_cast<WAVEFORMATEX**>(&mix.p))) || !mix.p ||
        !ReadFormat(*static_cast<const WAVEFORMATEX*>(mix.p), m_format))
        return Result::Refused;
    // A loopback stream is polled: engines before Windows 10 1703 never set its event, and
    // Wine's delivers little with it.
    const DWORD flags = m_loopback ? AUDCLNT_STREAMFLAGS_LOOPBACK : AUDCLNT_STREAMFLAGS_EVENTCALLBACK;
    hr = com->client->Initialize(AUDCLNT_SHAREMODE_SHARED, flags, static_cast<REFERENCE_TIME>(bufferMs) * 10000, 0,
                                 static_cast<const WAVEFORMATEX*>(mix.p), nullptr);
    if (FAILED(hr))
        return Classify(hr) == Result::Lost ? Result::Lost : Result::Refused;
    if (!m_loopback) {
        m_event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        if (!m_event || FAILED(com->client->SetEventHandle(m_event)))
            return Result::Failed;
    }
    // An engine without loopback capture takes the flag and refuses the capture client.
    hr = com->client->GetService(__uuidof(IAudioCaptureClient), com->capture.PutVoid());
    if (FAILED(hr))
        return Classify(hr) == Result::Lost ? Result::Lost : Result::Refused;
    m_com = std::move(com);
    return Result::Ok;
}

void WasapiStream::Close()
{
    if (m_com && m_com->client)
        m_com->client->Stop();
    m_com.reset();
    if (m_event)
        CloseHandle(m_event);
    m_event = nullptr;
    m_format = {};
    m_loopback = false;
    m_id.clear();
    m_name.clear();
}

WasapiStream::Result WasapiStream::Start()
{
    if (!m_com)
        return Result::Failed;
    const HRESULT hr = m_com->client->Start();
    return FAILED(hr) ? Classify(hr) : Result::Ok;
}

bool WasapiStream::Wait(const WakeEvent& wake, unsigned ms) const
{
    HANDLE handles[2] = {wake.Handle(), m_event};
    const DWORD count = m_event ? 2 : 1;
    return WaitForMultipleObjects(count, handles, FALSE, ms) < WAIT_OBJECT_0 + count;
}

WasapiStream::Result WasapiStream::Next(Packet& packet)
{
    packet = {};
    if (!m_com)
        return Result::Failed;
    UINT32 waiting = 0;
    HRESULT hr = m_com->capture->GetNextPacketSize(&waiting);
    if (FAILED(hr))
        return Classify(hr);
    if (waiting == 0)
        return Result::Ok;
    BYTE* data = nullptr;
    UINT32 frames = 0;
    DWORD flags = 0;
    UINT64 position = 0, time = 0;
    hr = m_com->capture->GetBuffer(&data, &frames, &flags, &position, &time);
    if (hr == AUDCLNT_S_BUFFER_EMPTY)
        return Result::Ok;
    if (FAILED(hr))
        return Classify(hr);
    packet.data = data;
    packet.frames = frames;
    packet.silent = (flags & AUDCLNT_BUFFERFLAGS_SILENT) != 0;
    packet.discontinuity = (flags & AUDCLNT_BUFFERFLAGS_DATA_DISCONTINUITY) != 0;
    packet.position = position;
    packet.time = static_cast<std::int64_t>(time);
    return Result::Ok;
}

WasapiStream::Result WasapiStream::Release(std::uint32_t frames)
{
    if (!m_com)
        return Result::Failed;
    const HRESULT hr = m_com->capture->ReleaseBuffer(frames);
    return FAILED(hr) ? Classify(hr) : Result::Ok;
}

std::int64_t WasapiStream::Now()
{
    LARGE_INTEGER count, frequency;
    QueryPerformanceCounter(&count);
    QueryPerformanceFrequency(&frequency);
    const std::int64_t f = frequency.QuadPart;
    return count.QuadPart / f * 10'000'000 + count.QuadPart % f * 10'000'000 / f;
}

std::string WasapiStream::DefaultCaptureId()
{
    ComPtr<IMMDeviceEnumerator> enumerator;
    ComPtr<IMMDevice> device;
    if (FAILED(CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_ALL, __uuidof(IMMDeviceEnumerator),
                                enumerator.PutVoid())) ||
        FAILED(enumerator->GetDefaultAudioEndpoint(eCapture, eConsole, device.Put())))
        return {};
    TaskMemory id;
    if (FAILED(device->GetId(reinterpret_cast<LPWSTR*>(&id.p))) || !id.p)
        return {};
    return Utf8(static_cast<const wchar_t*>(id.p));
}

}  // namespace platform
