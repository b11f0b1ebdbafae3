// What tells one process from another of the same name: its command line, its
// parent, its user and its program file's signature; the details box's lines
// and the list's tooltip.
#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "process/ProcessCommands.h"

// text cut to at most maxBytes bytes of code page 936, never inside a
// double-byte character, ending in "…" when it was cut.
std::string CutWithEllipsis(std::string_view text, size_t maxBytes);

// The tooltip of a row: the program file's path, then the command line, each
// on a line of its own ("无法读取" for what cannot be read), cut to maxBytes.
std::string TooltipText(const std::string& path, const std::optional<std::string>& commandLine, size_t maxBytes);

// "父进程: <name> (PID <n>)", or "父进程: PID <n>（已结束）" when no process
// of that pid started before the child.
std::string ParentLine(uint32_t parentPid, const std::string* parentName);

// The details box's last lines, one each: 命令行, 父进程, 用户, 数字签名 of
// the selected process, read now; "无法读取" for each that cannot be read.
std::string BuildIdentityLines(const CommandContext& context, const SelectedProcess& selected);

// Names of accounts by the text of their SID ("S-1-5-21-…"). Each SID is
// asked of the system once a run, whether it maps or not: the system may wait
// seconds on a domain controller it cannot reach, and the details box, which
// the user asked for, waits so once for an account and not for every box.
class AccountNames {
public:
    // The system's "DOMAIN\user" of a SID; none when it cannot map it.
    using Lookup = std::function<std::optional<std::string>(const std::string& sidText)>;
    // The account's name, or the SID text itself when the system cannot map it
    // (an account deleted, or of a domain out of reach).
    std::string NameOf(const std::string& sidText, const Lookup& lookup);

private:
    std::map<std::string, std::string> m_names;
};

// Whether a program of this width can read another process's parameters from
// its process block: a 32-bit program is given no 64-bit process's block.
bool CanReadProcessParameters(bool readerIs64Bit, bool targetIs64Bit);
