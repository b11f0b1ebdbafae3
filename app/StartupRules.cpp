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
        } else if (EqualsIgnoringCase(argument, kStartupEntriesSwitch)) {
            request.openStartupEntries = true;
        }
    }
    return request;
}

std::wstring StartFolderFor(const StartRequest& request, const std::wstring& programFolder) {
    if (!request.folder.empty()) return request.folder;
    return request.inTray && request.takeOverFromPid == 0 ? programFolder : std::wstring();
}

std::wstring FolderArgument(const std::wstring& folder) {
    // Backslashes right before the closing quote are doubled, or the last one
    // would escape it.
    const size_t trailing = folder.size() - std::min(folder.size(), folder.find_last_not_of(L'\\') + 1);
    return L"\"" + kFolder + folder + std::wstring(trailing, L'\\') + L"\"";
}

std::wstring TakeOverArguments(uint32_t pid, const std::wstring& folder) {
    return kTakeOver + std::to_wstring(pid) + L" " + FolderArgument(folder);
}

std::wstring AutorunValue(const std::wstring& programPath, const std::wstring& folder) {
    return L"\"" + programPath + L"\" /tray " + FolderArgument(folder);
}

std::vector<std::wstring> SplitCommandLine(const std::wstring& commandLine) {
    std::vector<std::wstring> arguments;
    size_t at = 0;
    const size_t size = commandLine.size();
    // The program's path takes no escapes: it ends at its closing quote, or
    // unquoted at the first blank.
    std::wstring program;
    if (at < size && commandLine[at] == L'"') {
        const size_t close = commandLine.find(L'"', at + 1);
        program = commandLine.substr(at + 1, close == std::wstring::npos ? std::wstring::npos : close - at - 1);
        at = close == std::wstring::npos ? size : close + 1;
    }
    while (at < size && commandLine[at] != L' ' && commandLine[at] != L'\t') program += commandLine[at++];
    arguments.push_back(std::move(program));
    for (;;) {
        while (at < size && (commandLine[at] == L' ' || commandLine[at] == L'\t')) ++at;
        if (at >= size) break;
        std::wstring argument;
        bool quoted = false;
        while (at < size && (quoted || (commandLine[at] != L' ' && commandLine[at] != L'\t'))) {
            size_t backslashes = 0;
            while (at < size && commandLine[at] == L'\\') ++backslashes, ++at;
            if (at < size && commandLine[at] == L'"') {
                argument.append(backslashes / 2, L'\\');
                if (backslashes % 2 == 1) {
                    argument += L'"';
                } else if (quoted && at + 1 < size && commandLine[at + 1] == L'"') {
                    // A doubled quote inside quotes is one literal quote.
                    argument += L'"';
                    ++at;
                } else {
                    quoted = !quoted;
                }
                ++at;
            } else {
                argument.append(backslashes, L'\\');
                if (at < size && (quoted || (commandLine[at] != L' ' && commandLine[at] != L'\t'))) {
                    argument += commandLine[at++];
                }
            }
        }
        arguments.push_back(std::move(argument));
    }
    return arguments;
}

std::wstring AutorunProgramPath(const std::wstring& value) {
    if (!value.empty() && value.front() == L'"') return value.substr(1, value.find(L'"', 1) - 1);
    return value.substr(0, value.find(L' '));
}
