// A POST body in the form the browser control takes it as its navigation
// argument: on Windows a VARIANT holding a VT_ARRAY | VT_UI1 array of the
// bytes, elsewhere the bytes themselves. Either way the bytes are passed on
// unchanged, without a terminator.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "base/status.h"

namespace zun::platform {

class PostDataArgument {
public:
    PostDataArgument();
    ~PostDataArgument();
    PostDataArgument(const PostDataArgument&) = delete;
    PostDataArgument& operator=(const PostDataArgument&) = delete;

    // Empties the argument (no body at all); fails only when the held value
    // cannot be released.
    Status Clear();
    // Holds a copy of `size` bytes. On failure the argument stays empty:
    // ZUN_E_OUT_OF_MEMORY when no array could be made, else the failing
    // call's status.
    Status Assign(const uint8_t* bytes, size_t size);
    // True while a body is held (also an empty one).
    bool HasBody() const;
    std::vector<uint8_t> Bytes() const;
    // The platform's own form: VARIANT* on Windows, std::vector<uint8_t>*
    // elsewhere.
    void* Native();

private:
    struct Storage;
    std::unique_ptr<Storage> _storage;
};

}  // namespace zun::platform
