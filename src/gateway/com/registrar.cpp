#include "gateway/com/registrar.h"

#include <cstring>
#include <string_view>

#include "base/trace.h"
#include "platform/win32/registry_key_owner.h"

namespace zun::com {
namespace {

// Registry paths and values of the table, expanded; the longest holds a
// module path.
constexpr size_t kExpandedSize = 1024;

HRESULT FromWin32(LONG error) { return error == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(error); }

// Deletes a key with everything below it; a key that is not there is fine.
// Some systems delete the key itself with its tree, others only what is
// below it.
LONG DeleteKeyTree(HKEY root, const char* path) {
    LONG error = RegDeleteTreeA(root, path);
    if (error == ERROR_SUCCESS) error = RegDeleteKeyA(root, path);
    return error == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : error;
}

}  // namespace

HRESULT Registrar::Expand(const char* text, char* out, size_t size) const {
    if (text == nullptr || out == nullptr || size == 0) return E_INVALIDARG;
    size_t used = 0;
    auto append = [&](std::string_view piece) {
        if (piece.size() >= size - used) return false;
        std::memcpy(out + used, piece.data(), piece.size());
        used += piece.size();
        return true;
    };
    for (const char* p = text; *p != '\0';) {
        std::string_view piece(p, 1);
        for (const RegistryToken& token : _tokens) {
            const size_t length = std::strlen(token.token);
            if (std::strncmp(p, token.token, length) == 0) {
                piece = std::string_view(p, length);
                if (!append(token.text)) {
                    out[used] = '\0';
                    return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
                }
                break;
            }
        }
        if (piece.size() == 1 && !append(piece)) {
            out[used] = '\0';
            return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
        }
        p += piece.size();
    }
    out[used] = '\0';
    return S_OK;
}

HRESULT Registrar::SetValue(HKEY key, const char* name, const char* pattern) const {
    char data[kExpandedSize];
    HRESULT hr = Expand(pattern, data, sizeof data);
    if (FAILED(hr)) return hr;
    return FromWin32(RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data),
                                    static_cast<DWORD>(std::strlen(data) + 1)));
}

HRESULT Registrar::WriteKey(const RegistryKeyEntry& entry) const {
    char path[kExpandedSize];
    HRESULT hr = Expand(entry.path, path, sizeof path);
    if (FAILED(hr)) return hr;
    if (entry.removal == KeyRemoval::ForceRemove) {
        hr = FromWin32(DeleteKeyTree(_root, path));
        if (FAILED(hr)) {
            ZUN_TRACE("ZUN_E: Registrar::Register(): RegDeleteTreeA(%s): Failure %u", path, static_cast<unsigned>(hr));
            return hr;
        }
    }
    platform::win32::RegistryKeyOwner key;
    hr = FromWin32(
        RegCreateKeyExA(_root, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, key.Out(), nullptr));
    if (FAILED(hr)) {
        ZUN_TRACE("ZUN_E: Registrar::Register(): RegCreateKeyExA(%s): Failure %u", path, static_cast<unsigned>(hr));
        return hr;
    }
    if (entry.defaultValue != nullptr) hr = SetValue(key.Get(), nullptr, entry.defaultValue);
    if (SUCCEEDED(hr) && entry.valueName != nullptr) hr = SetValue(key.Get(), entry.valueName, entry.valueData);
    if (FAILED(hr))
        ZUN_TRACE("ZUN_E: Registrar::Register(): RegSetValueExA(%s): Failure %u", path, static_cast<unsigned>(hr));
    return hr;
}

HRESULT Registrar::Register(std::span<const RegistryKeyEntry> table) const {
    for (const RegistryKeyEntry& entry : table) {
        const HRESULT hr = WriteKey(entry);
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

HRESULT Registrar::Unregister(std::span<const RegistryKeyEntry> table) const {
    for (auto entry = table.rbegin(); entry != table.rend(); ++entry) {
        if (entry->removal == KeyRemoval::NoRemove) continue;
        char path[kExpandedSize];
        HRESULT hr = Expand(entry->path, path, sizeof path);
        if (FAILED(hr)) return hr;
        const LONG error = DeleteKeyTree(_root, path);
        if (error != ERROR_SUCCESS) {
            ZUN_TRACE("ZUN_E: Registrar::Unregister(): RegDeleteKeyA(%s): Failure %u", path,
                      static_cast<unsigned>(error));
            return FromWin32(error);
        }
    }
    return S_OK;
}

}  // namespace zun::com
