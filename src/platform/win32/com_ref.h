// A counted reference to a COM interface.
#pragma once

#include <windows.h>

#include <unknwn.h>

namespace zun::platform::win32 {

template <typename T>
class ComRef {
public:
    ComRef() = default;
    explicit ComRef(T* adopted) : _p(adopted) {}
    ComRef(const ComRef& other) : _p(other._p) {
        if (_p != nullptr) _p->AddRef();
    }
    ComRef& operator=(const ComRef& other) {
        if (this != &other) {
            Reset();
            _p = other._p;
            if (_p != nullptr) _p->AddRef();
        }
        return *this;
    }
    ~ComRef() { Reset(); }

    T* Get() const { return _p; }
    T* operator->() const { return _p; }
    explicit operator bool() const { return _p != nullptr; }
    T** Out() {
        Reset();
        return &_p;
    }
    // For the calls that hand an interface out as void**.
    void** OutVoid() { return reinterpret_cast<void**>(Out()); }
    void Reset() {
        if (_p != nullptr) _p->Release();
        _p = nullptr;
    }
    // Hands the reference to the caller, as an out parameter takes it.
    T* Detach() {
        T* detached = _p;
        _p = nullptr;
        return detached;
    }
    // Queries `from` for this interface.
    HRESULT QueryFrom(IUnknown* from, REFIID iid) {
        Reset();
        if (from == nullptr) return E_POINTER;
        return from->QueryInterface(iid, reinterpret_cast<void**>(&_p));
    }

private:
    T* _p = nullptr;
};

}  // namespace zun::platform::win32
