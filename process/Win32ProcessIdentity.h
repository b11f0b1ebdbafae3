// Readers of what tells a process from another of its name: its command line
// and its user, asked of the system without touching the process's code.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

// The command line: NtQueryInformationProcess(ProcessCommandLineInformation)
// where the system has it (Windows 8.1 on), else the process parameters of its
// process block read with ReadProcessMemory. None when neither can be read
// (no rights; a 64-bit process's block seen by the 32-bit program).
std::optional<std::wstring> ReadProcessCommandLine(uint32_t pid);

// The SID of the process's token user as text ("S-1-5-…"); none when it
// cannot be read.
std::optional<std::wstring> ReadProcessUserSid(uint32_t pid);

// "DOMAIN\user" of a SID given as text; none when the system cannot map it.
// May wait on a domain controller.
std::optional<std::wstring> LookUpAccountName(const std::wstring& sidText);
