// The reference count of the engine's own COM objects: one AddRef and one
// Release for every interface the object implements, and deletion with the
// last reference. Each object answers QueryInterface itself. A new object
// holds one reference, its creator's.
#pragma once

#include <windows.h>

#include <unknwn.h>

#include <atomic>

namespace zun::platform::win32 {

template <class... Interfaces>
class CountedObject : public Interfaces... {
public:
    ULONG STDMETHODCALLTYPE AddRef() override { return ++_references; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG references = --_references;
        if (references == 0) delete this;
        return references;
    }

protected:
    CountedObject() = default;
    virtual ~CountedObject() = default;

private:
    std::atomic<ULONG> _references{1};
};

}  // namespace zun::platform::win32
