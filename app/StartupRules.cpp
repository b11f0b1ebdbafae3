#include "app/StartupRules.h"

#include <algorithm>

namespace {

wchar_t LowerAscii(wchar_t character) {
    return character >= L'A' && character <= L'Z' ? static_cast<wchar_t>(character + (L'a' - L'A')) : character;
}

// Whether text starts with the lower-case prefix, ignoring ASCII case.
bool StartsWithIgnoringCase(const std::wstring& text, const std::wstring& prefix) {
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(),
                      [](wchar_t lower, wchar_t character) { return LowerAscii(character) == lower; });
}

bool EqualsIgnoringCase(const std::wstring& text, const std::wstring& lowerCase) {
    return text.size() == lowerCase.size() && StartsWithIgnoringCase(text, lowerCase);
}

const std::wstring kTakeOver = L"/takeover:";
const std::wstring kFolder = L"/folder:";

}  // namespace

StartRequest ReadStartArguments(const std::vector<std::wstring>& arguments) {
    StartRequest request;
    for (const std::wstring& argument : arguments) {
        if (EqualsIgnoringCase(argument, L"/tray") || EqualsIgnoringCase(argument, L"-tray")) {
            request.inTray = true;
        } else if (StartsWithIgnoringCase(argument, kTakeOver)) {
            const std::wstring digits = argument.substr(kTakeOver.size());
            if (!digits.empty() && digits.size() <= 10 &&
                std::all_of(digits.begin(), digits.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; })) {
                const unsigned long long pid = std::stoull(digits);
                if (pid <= UINT32_MAX) request.takeOverFromPid = static_cast<uint32_t>(pid);
            }
        } else if (StartsWithIgnoringCase(argument, kFolder)) {
            request.folder = argument.substr(kFolder.size());
        }
    }
    return request;
}

std::wstring TakeOverArguments(uint32_t pid, const std::wstring& folder) {
    // Backslashes right before the closing quote are doubled, or the last one
    // would escape it.
    const size_t trailing = folder.size() - std::min(folder.size(), folder.find_last_not_of(L'\\') + 1);
    return kTakeOver + std::to_wstring(pid) + L" \"" + kFolder + folder + std::wstring(trailing, L'\\') + L"\"";
}

std::wstring AutorunValue(const std::wstring& programPath) { return L"\"" + programPath + L"\" /tray"; }

std::wstring AutorunProgramPath(const std::wstring& value) {
    if (!value.empty() && value.front() == L'"') return value.substr(1, value.find(L'"', 1) - 1);
    return value.substr(0, value.find(L' '));
}
