#include "process/ProgramLocation.h"

#include <algorithm>
#include <string>

const std::array<const char*, 21> CoreWindowsProgramNames = {
    "smss.exe",     "csrss.exe",    "wininit.exe", "winlogon.exe",  "services.exe",    "lsass.exe",    "svchost.exe",
    "spoolsv.exe",  "explorer.exe", "dwm.exe",     "taskhostw.exe", "conhost.exe",     "ctfmon.exe",   "rundll32.exe",
    "taskhost.exe", "dllhost.exe",  "lsm.exe",     "sihost.exe",    "fontdrvhost.exe", "userinit.exe", "wmiprvse.exe",
};

const char* const kSuspiciousWord = " 可疑进程";

namespace {

template <typename Char>
Char FoldAscii(Char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<Char>(c - 'A' + 'a') : c;
}

template <typename Char>
bool EqualNoCase(std::basic_string_view<Char> a, std::basic_string_view<Char> b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](Char x, Char y) { return FoldAscii(x) == FoldAscii(y); });
}

// The path with '\' for '/' and without a "\\?\" or "\??\" prefix.
std::wstring Plain(std::wstring_view path) {
    std::wstring plain(path);
    std::replace(plain.begin(), plain.end(), L'/', L'\\');
    for (std::wstring_view prefix : {std::wstring_view(L"\\\\?\\"), std::wstring_view(L"\\??\\")}) {
        if (plain.compare(0, prefix.size(), prefix) == 0) return plain.substr(prefix.size());
    }
    return plain;
}

}  // namespace

bool IsCoreWindowsProgramName(std::string_view name) {
    return std::any_of(CoreWindowsProgramNames.begin(), CoreWindowsProgramNames.end(),
                       [&](const char* core) { return EqualNoCase(name, std::string_view(core)); });
}

bool IsInsideFolder(std::wstring_view path, std::wstring_view folder) {
    const std::wstring file = Plain(path);
    std::wstring directory = Plain(folder);
    while (!directory.empty() && directory.back() == L'\\') directory.pop_back();
    if (directory.empty() || file.size() <= directory.size() + 1 || file[directory.size()] != L'\\') return false;
    // "C:\Windows\..\Temp\x.exe" is not in full form, and not below C:\Windows.
    if ((file + L'\\').find(L"\\..\\") != std::wstring::npos) return false;
    return EqualNoCase(std::wstring_view(file).substr(0, directory.size()), std::wstring_view(directory));
}

bool NeedsRedirectionOff(std::wstring_view path, std::wstring_view systemFolder, std::wstring_view systemFolderShort) {
    return IsInsideFolder(path, systemFolder) || IsInsideFolder(path, systemFolderShort);
}

ProgramPlace PlaceOf(std::wstring_view programPath, std::wstring_view windowsFolder) {
    if (programPath.empty() || windowsFolder.empty()) return ProgramPlace::Unknown;
    // Only the file's own folder counts, and only the three homes of the core
    // programs: folders below them (Temp, Tasks) are writable by any user.
    const std::wstring file = Plain(programPath);
    const size_t lastSeparator = file.find_last_of(L'\\');
    if (lastSeparator == std::wstring::npos) return ProgramPlace::Elsewhere;
    const std::wstring_view ownFolder = std::wstring_view(file).substr(0, lastSeparator);
    std::wstring windows = Plain(windowsFolder);
    while (!windows.empty() && windows.back() == L'\\') windows.pop_back();
    for (const std::wstring& home : {windows, windows + L"\\System32", windows + L"\\SysWOW64"}) {
        if (EqualNoCase(ownFolder, std::wstring_view(home)) && IsInsideFolder(file, home)) {
            return ProgramPlace::InWindowsFolder;
        }
    }
    return ProgramPlace::Elsewhere;
}

bool IsSuspiciousLocation(std::string_view name, ProgramPlace place) {
    return place == ProgramPlace::Elsewhere && IsCoreWindowsProgramName(name);
}
