// Applies one declarative table of registry keys, both ways: registering
// writes what the table says, unregistering removes exactly what it wrote.
// Because both directions read the same table they cannot drift apart.
#pragma once

#include <windows.h>

#include <cstddef>
#include <span>

namespace zun::com {

enum class KeyRemoval {
    Remove,       // written on registration, deleted on unregistration
    ForceRemove,  // as Remove, and an existing key is deleted before writing
    NoRemove,     // a shared root: opened on the way down, never deleted
};

// One key of the table, below the registrar's root. Texts may hold tokens
// such as %CLSID% that the registrar replaces with their values. A parent
// key comes before its subkeys.
struct RegistryKeyEntry {
    const char* path;
    KeyRemoval removal;
    const char* defaultValue;  // nullptr: the key gets no default value
    const char* valueName;     // nullptr: no named value
    const char* valueData;
};

struct RegistryToken {
    const char* token;  // including its percent signs, for example "%MODULE%"
    const char* text;
};

class Registrar {
public:
    Registrar(HKEY root, std::span<const RegistryToken> tokens) : _root(root), _tokens(tokens) {}

    // Writes the table in order; stops at the first failure and returns it.
    HRESULT Register(std::span<const RegistryKeyEntry> table) const;

    // Deletes the table's keys, subkeys first, leaving NoRemove keys in place.
    // Keys that are already gone are not an error.
    HRESULT Unregister(std::span<const RegistryKeyEntry> table) const;

    // `text` with every token replaced; fails when the result does not fit.
    HRESULT Expand(const char* text, char* out, size_t size) const;

private:
    HRESULT WriteKey(const RegistryKeyEntry& entry) const;
    HRESULT SetValue(HKEY key, const char* name, const char* pattern) const;

    HKEY _root;
    std::span<const RegistryToken> _tokens;
};

}  // namespace zun::com
