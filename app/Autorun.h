// The logon entry "开机时自动运行": a value under the user's Run key that starts
// this program in the tray. The only thing the program writes to the registry.
#pragma once

#include <string>

// The full path of this program's file.
std::wstring ThisProgramPath();

// Whether the user's Run key holds the entry and it names this program (an
// entry naming another copy of it counts as not set).
bool IsAutorunSetForThisProgram();

// Writes the entry for this program and its start folder (replacing any
// other) or removes it. False, with the system's reason (code page 936), when
// the key refused it.
bool SetAutorunForThisProgram(bool enabled, const std::wstring& folder, std::string& reason);
