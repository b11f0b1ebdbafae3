#include "app/StartupRules.h"

#include <algorithm>

namespace {

bool EqualsIgnoringAsciiCase(const std::wstring& text, const std::wstring& lowerCase) {
    return text.size() == lowerCase.size() &&
           std::equal(text.begin(), text.end(), lowerCase.begin(), [](wchar_t character, wchar_t lower) {
               return (character >= L'A' && character <= L'Z' ? character + (L'a' - L'A') : character) == lower;
           });
}

}  // namespace

bool AsksToStartInTray(const std::vector<std::wstring>& arguments) {
    return std::any_of(arguments.begin(), arguments.end(), [](const std::wstring& argument) {
        return EqualsIgnoringAsciiCase(argument, L"/tray") || EqualsIgnoringAsciiCase(argument, L"-tray");
    });
}

std::wstring AutorunValue(const std::wstring& programPath) { return L"\"" + programPath + L"\" /tray"; }

std::wstring AutorunProgramPath(const std::wstring& value) {
    if (!value.empty() && value.front() == L'"') return value.substr(1, value.find(L'"', 1) - 1);
    return value.substr(0, value.find(L' '));
}
