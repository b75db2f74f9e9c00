#pragma once
// Holds one reference to a COM interface and releases it when it goes (or is reset). Put()
// hands its slot to a call that returns an interface through a pointer-to-pointer argument.
// Windows only. Thread: one at a time; the interface's own apartment rules hold.

#include <utility>

namespace platform {

template <class T>
class ComPtr {
public:
    ComPtr() = default;
    ~ComPtr() { Reset(); }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ComPtr(ComPtr&& other) noexcept : m_ptr(std::exchange(other.m_ptr, nullptr)) {}
    ComPtr& operator=(ComPtr&& other) noexcept
    {
        if (this != &other) {
            Reset();
            m_ptr = std::exchange(other.m_ptr, nullptr);
        }
        return *this;
    }

    T* Get() const { return m_ptr; }
    T* operator->() const { return m_ptr; }
    explicit operator bool() const { return m_ptr != nullptr; }
    // Releases what it holds and gives the empty slot to fill.
    T** Put()
    {
        Reset();
        return &m_ptr;
    }
    void** PutVoid() { return reinterpret_cast<void**>(Put()); }
    void Reset()
    {
        if (m_ptr)
            std::exchange(m_ptr, nullptr)->Release();
    }

private:
    T* m_ptr = nullptr;
};

}  // namespace platform
