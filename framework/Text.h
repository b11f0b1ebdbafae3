// Texts live in the program as code page 936 bytes; windows take UTF-16.
// Converting at the window boundary lets the Chinese texts read right on a
// system of any ANSI code page.
#pragma once

#include <string>

constexpr unsigned kTextCodePage = 936;

std::wstring WideFromText(const std::string& text);
std::string TextFromWide(const wchar_t* wide);
std::string TextFromWide(const std::wstring& wide);
// File paths travel as UTF-8 between the dialogs and the file store, so a
// path of any language reaches the file functions whole.
std::wstring WideFromUtf8(const std::string& text);
std::string Utf8FromWide(const std::wstring& wide);
