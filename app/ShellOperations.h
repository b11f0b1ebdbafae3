// The shell calls of the main window (tray icon, opening documents and web
// pages) behind one seam, so tests can see what the shell is asked to do.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <string>

// The tray record in its first form: 88 bytes in a 32-bit build, 104 in a
// 64-bit one, where the window and icon handles are 8 bytes wide.
constexpr DWORD kTrayRecordSize = NOTIFYICONDATAA_V1_SIZE;

// What the shell is asked to start: a program and its parameters.
struct ShellStart {
    std::wstring program;
    std::wstring parameters;
};

// The start behind ShowInFolder: explorer.exe of the Windows folder by its
// full path, the file selected; no program where the Windows folder is
// unknown.
ShellStart ShowInFolderStart(const std::wstring& file);

class ShellOperations {
public:
    virtual ~ShellOperations() = default;
    // Shell_NotifyIconA with the record; the tip is code page 936.
    virtual bool NotifyIcon(DWORD message, const NOTIFYICONDATAA& record);
    // A balloon notice over the tray icon (title and text code page 936),
    // through the extended record, where the shell has balloons (version 5
    // and later); elsewhere nothing is shown. False when nothing was shown.
    virtual bool ShowNotice(HWND window, UINT iconId, const std::string& title, const std::string& text);
    // The shell's "open" on a file or address (code page 936), shown normally.
    // With a folder, target is a file name taken in that folder.
    virtual void Open(HWND owner, const std::string& target, const std::wstring& folder);
    // A window of the file's folder with the file selected.
    virtual void ShowInFolder(HWND owner, const std::wstring& file);
    // Starts program with administrator rights (the "runas" verb), in folder.
    // True once the new process has started; false when it could not, or the
    // user refused the elevation.
    virtual bool RunAsAdministrator(HWND owner, const std::wstring& program, const std::wstring& parameters,
                                    const std::wstring& folder);
    // Lets message reach window from programs of lower rights: an elevated
    // window hears no registered message of a normal program, nor the
    // shell's, otherwise (ChangeWindowMessageFilterEx, on Vista
    // ChangeWindowMessageFilter; nothing to do before). False when refused.
    virtual bool AllowMessageFromLowerRights(HWND window, UINT message);
};
