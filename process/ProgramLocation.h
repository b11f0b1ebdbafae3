// Where a process's program file lies: the core Windows programs only ever run
// from the Windows folder, so one of their names started from anywhere else
// (a temporary folder, say) is a disguise the list points out.
#pragma once

#include <array>
#include <string_view>

// The core Windows programs, by file name.
extern const std::array<const char*, 21> CoreWindowsProgramNames;

// The word column 1 shows instead of the usual one.
extern const char* const kSuspiciousWord;  // " 可疑进程"

// True when name equals one of CoreWindowsProgramNames, ignoring ASCII case.
bool IsCoreWindowsProgramName(std::string_view name);

// True when path names something below folder. Both are full paths in their
// long form; ASCII letters compare without case, '/' counts as '\', a "\\?\"
// or "\??\" prefix is ignored, and "C:\Windows2\x.exe" is not below "C:\Windows",
// nor is a path with a ".." step.
bool IsInsideFolder(std::wstring_view path, std::wstring_view folder);

// Whether a 32-bit program on 64-bit Windows must turn the file-system
// redirection off to reach the file at path itself: true for a path below the
// system folder (given in its long and its short form; either may be empty),
// whose files the redirection swaps for their namesakes in SysWOW64.
bool NeedsRedirectionOff(std::wstring_view path, std::wstring_view systemFolder, std::wstring_view systemFolderShort);

enum class ProgramPlace { Unknown, InWindowsFolder, Elsewhere };

// InWindowsFolder when the file lies right in the Windows folder, its System32
// or its SysWOW64 (not in a folder below them); Unknown when either path is
// empty (the file could not be found).
ProgramPlace PlaceOf(std::wstring_view programPath, std::wstring_view windowsFolder);

// A core name whose program file is known to lie outside the Windows folder.
bool IsSuspiciousLocation(std::string_view name, ProgramPlace place);
