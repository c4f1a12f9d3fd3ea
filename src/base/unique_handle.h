// Sole ownership of a handle of one kind (a key, a descriptor, a heap block):
// the owner closes it with `Close` when it goes or takes another. `kNone` is
// the value that holds nothing.
#pragma once

#include <utility>

namespace zun {

template <typename Handle, auto Close, Handle kNone = Handle{}>
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(Handle adopted) : _handle(adopted) {}
    UniqueHandle(UniqueHandle&& other) noexcept : _handle(other.Release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) Reset(other.Release());
        return *this;
    }
    ~UniqueHandle() { Reset(); }

    Handle Get() const { return _handle; }
    explicit operator bool() const { return _handle != kNone; }
    // For a call that opens into an out parameter; what was held is closed
    // first.
    Handle* Out() {
        Reset();
        return &_handle;
    }
    // Gives the handle up without closing it.
    Handle Release() { return std::exchange(_handle, kNone); }
    void Reset(Handle adopted = kNone) {
        if (_handle != kNone) Close(_handle);
        _handle = adopted;
    }

private:
    Handle _handle = kNone;
};

}  // namespace zun
