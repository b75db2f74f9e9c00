#include "platform/windows/EndpointWatch.h"

#include <windows.h>

#include <mmdeviceapi.h>

#include <atomic>
#include <mutex>

#include "platform/windows/WakeEvent.h"
#include "platform/windows/WideText.h"

namespace platform {

class EndpointWatch::Client : public IMMNotificationClient {
public:
    explicit Client(WakeEvent& wake) : m_wake(wake) {}

    void Follow(const std::wstring& id)
    {
        std::lock_guard lock(m_mutex);
        m_id = id;
        m_gone = false;
    }
    bool TakeDefaultChanged() { return m_defaultChanged.exchange(false); }
    bool Gone() const { return m_gone.load(); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        if (IsEqualIID(iid, __uuidof(IUnknown)) || IsEqualIID(iid, __uuidof(IMMNotificationClient))) {
            *object = static_cast<IMMNotificationClient*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++m_references); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const long left = --m_references;
        if (left == 0)
            delete this;
        return static_cast<ULONG>(left);
    }
    HRESULT STDMETHODCALLTYPE OnDefaultDeviceChanged(EDataFlow flow, ERole role, LPCWSTR) override
    {
        if (flow == eCapture && role == eConsole) {
            m_defaultChanged = true;
            m_wake.Set();
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnDeviceStateChanged(LPCWSTR id, DWORD state) override
    {
        if (state != DEVICE_STATE_ACTIVE && id) {
            std::lock_guard lock(m_mutex);
            if (m_id == id) {
                m_gone = true;
                m_wake.Set();
            }
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnDeviceRemoved(LPCWSTR id) override { return OnDeviceStateChanged(id, 0); }
    HRESULT STDMETHODCALLTYPE OnDeviceAdded(LPCWSTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnPropertyValueChanged(LPCWSTR, const PROPERTYKEY) override { return S_OK; }

private:
    virtual ~Client() = default;

    WakeEvent& m_wake;
    std::atomic<long> m_references{1};
    std::atomic<bool> m_defaultChanged{false};
    std::atomic<bool> m_gone{false};
    std::mutex m_mutex;
    std::wstring m_id;
};

EndpointWatch::EndpointWatch() = default;

EndpointWatch::~EndpointWatch()
{
    Stop();
}

bool EndpointWatch::Start(const std::string& id, WakeEvent& wake)
{
    Stop();
    IMMDeviceEnumerator* enumerator = nullptr;
    if (FAILED(CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_ALL, __uuidof(IMMDeviceEnumerator),
                                reinterpret_cast<void**>(&enumerator))))
        return false;
    auto* client = new Client(wake);
    client->Follow(Wide(id));
    if (FAILED(enumerator->RegisterEndpointNotificationCallback(client))) {
        client->Release();
        enumerator->Release();
        return false;
    }
    m_client = client;
    m_enumerator = enumerator;
    return true;
}

void EndpointWatch::Stop()
{
    if (m_enumerator) {
        static_cast<IMMDeviceEnumerator*>(m_enumerator)->UnregisterEndpointNotificationCallback(m_client);
        static_cast<IMMDeviceEnumerator*>(m_enumerator)->Release();
        m_enumerator = nullptr;
    }
    if (m_client) {
        m_client->Release();
        m_client = nullptr;
    }
}

void EndpointWatch::Follow(const std::string& id)
{
    if (m_client)
        m_client->Follow(Wide(id));
}

bool EndpointWatch::TakeDefaultChanged()
{
    return m_client && m_client->TakeDefaultChanged();
}

bool EndpointWatch::Gone() const
{
    return m_client && m_client->Gone();
}

}  // namespace platform
