#include "framework/Text.h"

#include <windows.h>

namespace {

std::wstring WideFrom(unsigned codePage, const std::string& text) {
    if (text.empty()) return std::wstring();
    const int length = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), &wide[0], length);
    return wide;
}

std::string NarrowTo(unsigned codePage, const std::wstring& wide) {
    if (wide.empty()) return std::string();
    const int length =
        WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), &text[0], length, nullptr, nullptr);
    return text;
}

}  // namespace

std::wstring WideFromText(const std::string& text) { return WideFrom(kTextCodePage, text); }

std::string TextFromWide(const wchar_t* wide) { return TextFromWide(std::wstring(wide ? wide : L"")); }

std::string TextFromWide(const std::wstring& wide) { return NarrowTo(kTextCodePage, wide); }

std::wstring WideFromUtf8(const std::string& text) { return WideFrom(CP_UTF8, text); }

std::string Utf8FromWide(const std::wstring& wide) { return NarrowTo(CP_UTF8, wide); }
