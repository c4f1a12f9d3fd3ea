#include "platform/win32/bstr_text.h"

#include <vector>

namespace zun::platform::win32 {

Bstr::Bstr(const char* text) {
    if (text == nullptr) text = "";
    const int length = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    std::vector<wchar_t> wide(static_cast<size_t>(length > 0 ? length : 1), L'\0');
    if (length > 0) MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), length);
    _value = SysAllocString(wide.data());
}

std::string Bstr::Text() const {
    if (_value == nullptr) return std::string();
    const int wideLength = static_cast<int>(SysStringLen(_value));
    const int length = WideCharToMultiByte(CP_ACP, 0, _value, wideLength, nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<size_t>(length > 0 ? length : 0), '\0');
    if (length > 0) WideCharToMultiByte(CP_ACP, 0, _value, wideLength, text.data(), length, nullptr, nullptr);
    return text;
}

std::string TextFromVariant(const VARIANT& value) {
    VARIANT text;
    VariantInit(&text);
    if (FAILED(VariantChangeType(&text, const_cast<VARIANT*>(&value), 0, VT_BSTR))) return std::string();
    Bstr owned;
    *owned.Out() = V_BSTR(&text);  // takes the converted string
    return owned.Text();
}

}  // namespace zun::platform::win32
