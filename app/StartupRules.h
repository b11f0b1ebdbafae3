// Plain rules of how the program starts: what its command line asks for, and
// the logon entry that starts it in the tray.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct StartRequest {
    bool inTray = false;           // "/tray" or "-tray", any letter case
    uint32_t takeOverFromPid = 0;  // "/takeover:PID": a copy restarted with other rights
    std::wstring folder;           // "/folder:PATH": the start folder of that copy

    // "/startup": the startup entries dialog opens at once.
    bool openStartupEntries = false;
};

// Reads the arguments after the program's own path; any other text is ignored.
StartRequest ReadStartArguments(const std::vector<std::wstring>& arguments);

// A command line split into its arguments by the rules Windows programs use
// (CommandLineToArgvW's): blanks part them, double quotes join them, 2n
// backslashes before a quote give n and a quote, 2n+1 give n and a literal
// quote. The first, the program, ends at its closing quote or first blank.
std::vector<std::wstring> SplitCommandLine(const std::wstring& commandLine);

// The arguments a copy passes to the copy that takes over from it, quoted so
// that the folder reads back whole (a trailing backslash included).
std::wstring TakeOverArguments(uint32_t pid, const std::wstring& folder);

// The folder a copy works in: the one it is told; for a start in the tray
// without one (the logon entry of an earlier version, which the shell starts
// in a folder of its own), the program's own folder; otherwise none (empty:
// the folder it starts in).
std::wstring StartFolderFor(const StartRequest& request, const std::wstring& programFolder);

// "/folder:" and the folder as one quoted argument.
std::wstring FolderArgument(const std::wstring& folder);

// Asks a copy restarted as administrator to open the startup entries again.
constexpr const wchar_t* kStartupEntriesSwitch = L"/startup";

// The name of the logon entry under the user's Run key.
constexpr const wchar_t* kAutorunValueName = L"tarvemonix";

// The entry's text: the program's full path in double quotes, " /tray", and
// the folder whose proc.dat it keeps: at logon the shell starts it in a
// folder of its own (System32), not the program's.
std::wstring AutorunValue(const std::wstring& programPath, const std::wstring& folder);

// The program an entry's text starts: the quoted path, or without quotes the
// text up to the first blank.
std::wstring AutorunProgramPath(const std::wstring& value);
