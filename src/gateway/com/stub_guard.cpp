#include "gateway/com/stub_guard.h"

#include <new>

#include "gateway/com/module_lock.h"
#include "platform/win32/counted_object.h"

namespace zun::com {
namespace {

thread_local bool callFromAnotherApartment = false;

// What the two wrappers share; each keeps the module loaded.
template <class Interface>
class Wrapper : public platform::win32::CountedObject<Interface> {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (object == nullptr) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, __uuidof(Interface))) {
            *object = static_cast<Interface*>(this);
            this->AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }

protected:
    explicit Wrapper(Interface* inner) : _inner(inner) { LockModule(); }
    ~Wrapper() override {
        _inner->Release();
        UnlockModule();
    }

    Interface* const _inner;
};

class GuardedStub final : public Wrapper<IRpcStubBuffer> {
public:
    explicit GuardedStub(IRpcStubBuffer* inner) : Wrapper(inner) {}

    HRESULT STDMETHODCALLTYPE Connect(IUnknown* server) override { return _inner->Connect(server); }
    void STDMETHODCALLTYPE Disconnect() override { _inner->Disconnect(); }
    HRESULT STDMETHODCALLTYPE Invoke(RPCOLEMESSAGE* message, IRpcChannelBuffer* channel) override {
        // Calls may nest on an apartment's thread: restore the outer mark.
        const bool outer = callFromAnotherApartment;
        callFromAnotherApartment = true;
        const HRESULT hr = _inner->Invoke(message, channel);
        callFromAnotherApartment = outer;
        return hr;
    }
    IRpcStubBuffer* STDMETHODCALLTYPE IsIIDSupported(REFIID riid) override {
        IRpcStubBuffer* supported = _inner->IsIIDSupported(riid);
        if (supported == nullptr) return nullptr;
        supported->Release();
        AddRef();
        return this;
    }
    ULONG STDMETHODCALLTYPE CountRefs() override { return _inner->CountRefs(); }
    HRESULT STDMETHODCALLTYPE DebugServerQueryInterface(void** object) override {
        return _inner->DebugServerQueryInterface(object);
    }
    void STDMETHODCALLTYPE DebugServerRelease(void* object) override { _inner->DebugServerRelease(object); }
};

class GuardedFactory final : public Wrapper<IPSFactoryBuffer> {
public:
    explicit GuardedFactory(IPSFactoryBuffer* inner) : Wrapper(inner) {}

    HRESULT STDMETHODCALLTYPE CreateProxy(IUnknown* outer, REFIID riid, IRpcProxyBuffer** proxy,
                                          void** object) override {
        return _inner->CreateProxy(outer, riid, proxy, object);
    }
    HRESULT STDMETHODCALLTYPE CreateStub(REFIID riid, IUnknown* server, IRpcStubBuffer** stub) override {
        if (stub == nullptr) return E_POINTER;
        IRpcStubBuffer* inner = nullptr;
        const HRESULT hr = _inner->CreateStub(riid, server, &inner);
        if (FAILED(hr)) {
            *stub = nullptr;
            return hr;
        }
        *stub = new (std::nothrow) GuardedStub(inner);
        if (*stub != nullptr) return S_OK;
        inner->Release();
        return E_OUTOFMEMORY;
    }
};

}  // namespace

HRESULT GuardProxyStubFactory(IPSFactoryBuffer* inner, REFIID riid, void** object) {
    auto* factory = new (std::nothrow) GuardedFactory(inner);
    if (factory == nullptr) {
        inner->Release();
        *object = nullptr;
        return E_OUTOFMEMORY;
    }
    const HRESULT hr = factory->QueryInterface(riid, object);
    factory->Release();
    return hr;
}

bool TakeCallFromAnotherApartment() {
    const bool taken = callFromAnotherApartment;
    callFromAnotherApartment = false;
    return taken;
}

}  // namespace zun::com
