// The engine's 8-bit text and the browser's BSTRs, converted with the ANSI
// code page.
#pragma once

#include <windows.h>

#include <oleauto.h>

#include <string>

namespace zun::platform::win32 {

// An owned BSTR.
class Bstr {
public:
    explicit Bstr(const char* text);
    Bstr() = default;
    ~Bstr() { SysFreeString(_value); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;

    BSTR Get() const { return _value; }
    BSTR* Out() {
        SysFreeString(_value);
        _value = nullptr;
        return &_value;
    }
    // 8-bit text; no string reads as "".
    std::string Text() const;

private:
    BSTR _value = nullptr;
};

std::string TextFromVariant(const VARIANT& value);

}  // namespace zun::platform::win32
