#include "app/ShellOperations.h"

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
    std::wstring file = WideFromText(target);
    if (!folder.empty()) file = folder + (folder.back() == L'\\' ? L"" : L"\\") + file;
    ShellExecuteW(owner, L"open", file.c_str(), L"", L"", SW_SHOW);
}
