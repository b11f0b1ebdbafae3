#include "app/ShellOperations.h"

#include <shlwapi.h>

#include "files/Win32FileStore.h"
#include "framework/SystemFunction.h"
#include "framework/Text.h"

bool ShellOperations::NotifyIcon(DWORD message, const NOTIFYICONDATAA& record) {
    if (GetACP() == kTextCodePage) {
        NOTIFYICONDATAA copy = record;
        return Shell_NotifyIconA(message, &copy) != FALSE;
    }
    // Elsewhere the ANSI call would read the code page 936 tip with the wrong
    // code page: hand the same record to the wide call instead.
    NOTIFYICONDATAW wide{};
    wide.cbSize = NOTIFYICONDATAW_V1_SIZE;
    wide.hWnd = record.hWnd;
    wide.uID = record.uID;
    wide.uFlags = record.uFlags;
    wide.uCallbackMessage = record.uCallbackMessage;
    wide.hIcon = record.hIcon;
    const std::wstring tip = WideFromText(record.szTip);
    lstrcpynW(wide.szTip, tip.c_str(), static_cast<int>(sizeof(wide.szTip) / sizeof(wide.szTip[0])));
    return Shell_NotifyIconW(message, &wide) != FALSE;
}

void ShellOperations::Open(HWND owner, const std::string& target, const std::wstring& folder) {
    const std::wstring file = InFolder(folder, WideFromText(target));
    ShellExecuteW(owner, L"open", file.c_str(), L"", L"", SW_SHOW);
}

ShellStart ShowInFolderStart(const std::wstring& file) {
    // By its full path: a bare name is looked for beside this program and in
    // the current folder before the Windows folder. The system's own Windows
    // folder: on a Remote Desktop host the other is the user's private one.
    const std::wstring windows = SystemFolderPath(GetSystemWindowsDirectoryW);
    if (windows.empty()) return {};
    return {InFolder(windows, L"explorer.exe"), L"/select,\"" + file + L"\""};
}

void ShellOperations::ShowInFolder(HWND owner, const std::wstring& file) {
    const ShellStart start = ShowInFolderStart(file);
    if (start.program.empty()) return;
    ShellExecuteW(owner, L"open", start.program.c_str(), start.parameters.c_str(), nullptr, SW_SHOWNORMAL);
}

bool ShellOperations::RunAsAdministrator(HWND owner, const std::wstring& program, const std::wstring& parameters,
                                         const std::wstring& folder) {
    SHELLEXECUTEINFOW start{};
    start.cbSize = sizeof(start);
    // Returns once the process has started, not while the shell still works.
    start.fMask = SEE_MASK_NOASYNC;
    start.hwnd = owner;
    start.lpVerb = L"runas";
    start.lpFile = program.c_str();
    start.lpParameters = parameters.c_str();
    start.lpDirectory = folder.empty() ? nullptr : folder.c_str();
    start.nShow = SW_SHOWNORMAL;
    return ShellExecuteExW(&start) != FALSE;
}

bool ShellOperations::AllowMessageFromLowerRights(HWND window, UINT message) {
    using FilterEx = BOOL(WINAPI*)(HWND, UINT, DWORD, void*);
    using Filter = BOOL(WINAPI*)(UINT, DWORD);
    constexpr DWORD kAllow = 1;  // MSGFLT_ALLOW, and MSGFLT_ADD of the older call
    if (const auto filterEx = FindSystemFunction<FilterEx>(L"user32.dll", "ChangeWindowMessageFilterEx")) {
        return filterEx(window, message, kAllow, nullptr) != FALSE;
    }
    if (const auto filter = FindSystemFunction<Filter>(L"user32.dll", "ChangeWindowMessageFilter")) {
        return filter(message, kAllow) != FALSE;
    }
    return true;
}

namespace {

// Balloons came with the shell of version 5.
bool ShellHasBalloons() {
    using GetVersion = HRESULT(CALLBACK*)(DLLVERSIONINFO*);
    const auto getVersion = FindSystemFunction<GetVersion>(L"shell32.dll", "DllGetVersion");
    DLLVERSIONINFO version{};
    version.cbSize = sizeof(version);
    return getVersion && getVersion(&version) == S_OK && version.dwMajorVersion >= 5;
}

// Copies text into a fixed field of the record; a text too long for it ends
// in an ellipsis instead of being cut without a sign.
template <size_t N>
void CopyIntoField(wchar_t (&field)[N], const std::string& text) {
    std::wstring wide = WideFromText(text);
    if (wide.size() >= N) wide = wide.substr(0, N - 2) + L"\x2026";
    lstrcpynW(field, wide.c_str(), static_cast<int>(N));
}

}  // namespace

bool ShellOperations::ShowNotice(HWND window, UINT iconId, const std::string& title, const std::string& text) {
    if (!ShellHasBalloons()) return false;
    NOTIFYICONDATAW record{};
    record.cbSize = NOTIFYICONDATAW_V2_SIZE;
    record.hWnd = window;
    record.uID = iconId;
    record.uFlags = NIF_INFO;
    record.dwInfoFlags = NIIF_INFO;
    CopyIntoField(record.szInfoTitle, title);
    CopyIntoField(record.szInfo, text);
    return Shell_NotifyIconW(NIM_MODIFY, &record) != FALSE;
}
