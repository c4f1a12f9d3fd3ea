#include <optional>

#include "platform/post_data.h"

namespace zun::platform {

struct PostDataArgument::Storage {
    std::optional<std::vector<uint8_t>> body;
};

PostDataArgument::PostDataArgument() : _storage(std::make_unique<Storage>()) {}
PostDataArgument::~PostDataArgument() = default;

Status PostDataArgument::Clear() {
    _storage->body.reset();
    return 0;
}

Status PostDataArgument::Assign(const uint8_t* bytes, size_t size) {
    Clear();
    if (bytes == nullptr && size != 0) return ZUN_E_INVALID_ARG;
    _storage->body.emplace(bytes, bytes + size);
    return 0;
}

bool PostDataArgument::HasBody() const { return _storage->body.has_value(); }

std::vector<uint8_t> PostDataArgument::Bytes() const { return _storage->body.value_or(std::vector<uint8_t>{}); }

void* PostDataArgument::Native() { return _storage->body ? &*_storage->body : nullptr; }

}  // namespace zun::platform
