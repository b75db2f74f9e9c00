#include "platform/windows/EndpointWatch.h"

#include <utility>

namespace platform {

// The COM object Windows calls. Reference-counted as COM wants, though only EndpointWatch holds it.
class EndpointWatch::Client final : public IMMNotificationClient {
public:
    explicit Client(Listener listener) : m_listener(std::move(listener)) {}
    virtual ~Client() = default;

    std::uint64_t Version() const { return m_version.load(std::memory_order_acquire); }

    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_references; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const ULONG left = --m_references;
        if (left == 0)
            delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        if (object == nullptr)
            return E_POINTER;
        if (iid == __uuidof(IUnknown) || iid == __uuidof(IMMNotificationClient)) {
            *object = static_cast<IMMNotificationClient*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }

    HRESULT STDMETHODCALLTYPE OnDeviceStateChanged(LPCWSTR id, DWORD state) override
    {
        return Tell(News::Kind::StateChanged, id, eAll, eConsole, state);
    }
    HRESULT STDMETHODCALLTYPE OnDeviceAdded(LPCWSTR id) override { return Tell(News::Kind::Added, id); }
    HRESULT STDMETHODCALLTYPE OnDeviceRemoved(LPCWSTR id) override { return Tell(News::Kind::Removed, id); }
    HRESULT STDMETHODCALLTYPE OnDefaultDeviceChanged(EDataFlow flow, ERole role, LPCWSTR id) override
    {
        return Tell(News::Kind::DefaultChanged, id, flow, role);
    }
    HRESULT STDMETHODCALLTYPE OnPropertyValueChanged(LPCWSTR id, const PROPERTYKEY) override
    {
        return Tell(News::Kind::PropertyChanged, id);
    }

private:
    HRESULT Tell(News::Kind kind, LPCWSTR id, EDataFlow flow = eAll, ERole role = eConsole, DWORD state = 0)
    {
        News news;
        news.kind = kind;
        news.endpoint = id != nullptr ? id : L"";
        news.flow = flow;
        news.role = role;
        news.state = state;
        m_version.fetch_add(1, std::memory_order_acq_rel);
        if (m_listener)
            m_listener(news);
        return S_OK;
    }

    const Listener m_listener;
    std::atomic<ULONG> m_references{1};
    std::atomic<std::uint64_t> m_version{0};
};

EndpointWatch::EndpointWatch(Microsoft::WRL::ComPtr<IMMDeviceEnumerator> enumerator, Listener listener)
    : m_enumerator(std::move(enumerator))
{
    // Made with one reference, which the ComPtr takes over.
    m_client.Attach(new Client(std::move(listener)));
    m_registered = m_enumerator && SUCCEEDED(m_enumerator->RegisterEndpointNotificationCallback(m_client.Get()));
}

EndpointWatch::~EndpointWatch()
{
    if (m_registered)
        m_enumerator->UnregisterEndpointNotificationCallback(m_client.Get());
}

std::uint64_t EndpointWatch::Version() const { return m_client->Version(); }

}  // namespace platform
