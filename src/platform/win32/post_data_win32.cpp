#include "platform/post_data.h"

#include <windows.h>

#include <oleauto.h>

#include <cstring>

namespace zun::platform {

struct PostDataArgument::Storage {
    VARIANT value;
};

PostDataArgument::PostDataArgument() : _storage(std::make_unique<Storage>()) { VariantInit(&_storage->value); }

PostDataArgument::~PostDataArgument() { VariantClear(&_storage->value); }

Status PostDataArgument::Clear() { return static_cast<Status>(VariantClear(&_storage->value)); }

Status PostDataArgument::Assign(const uint8_t* bytes, size_t size) {
    const Status cleared = Clear();
    if (cleared != 0) return cleared;
    if ((bytes == nullptr && size != 0) || size > 0xFFFFFFFFu) return ZUN_E_INVALID_ARG;
    SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(size));
    if (array == nullptr) return ZUN_E_OUT_OF_MEMORY;
    void* data = nullptr;
    HRESULT result = SafeArrayAccessData(array, &data);
    if (FAILED(result)) {
        SafeArrayDestroy(array);
        return static_cast<Status>(result);
    }
    if (size != 0) std::memcpy(data, bytes, size);
    result = SafeArrayUnaccessData(array);
    if (FAILED(result)) {
        SafeArrayDestroy(array);
        return static_cast<Status>(result);
    }
    V_VT(&_storage->value) = VT_ARRAY | VT_UI1;
    V_ARRAY(&_storage->value) = array;
    return 0;
}

bool PostDataArgument::HasBody() const { return V_VT(&_storage->value) == (VT_ARRAY | VT_UI1); }

std::vector<uint8_t> PostDataArgument::Bytes() const {
    if (!HasBody()) return {};
    SAFEARRAY* array = V_ARRAY(&_storage->value);
    LONG lower = 0;
    LONG upper = -1;
    SafeArrayGetLBound(array, 1, &lower);
    SafeArrayGetUBound(array, 1, &upper);
    std::vector<uint8_t> bytes(static_cast<size_t>(upper - lower + 1));
    void* data = nullptr;
    if (!bytes.empty() && SUCCEEDED(SafeArrayAccessData(array, &data))) {
        std::memcpy(bytes.data(), data, bytes.size());
        SafeArrayUnaccessData(array);
    }
    return bytes;
}

void* PostDataArgument::Native() { return &_storage->value; }

}  // namespace zun::platform
