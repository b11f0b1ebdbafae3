// Plain rules of how the program starts: the command line's request to start
// in the tray, and the logon entry that asks for it.
#pragma once

#include <string>
#include <vector>

// True when an argument (the program's own path not among them) is "/tray"
// or "-tray", in any letter case. Every other argument is ignored.
bool AsksToStartInTray(const std::vector<std::wstring>& arguments);

// The name of the logon entry under the user's Run key.
constexpr const wchar_t* kAutorunValueName = L"tarvemonix";

// The entry's text: the program's full path in double quotes, then " /tray".
std::wstring AutorunValue(const std::wstring& programPath);

// The program an entry's text starts: the quoted path, or without quotes the
// text up to the first blank.
std::wstring AutorunProgramPath(const std::wstring& value);
