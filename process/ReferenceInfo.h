// The reference texts about normal processes (processinfo.dat): reading the
// file's bytes into lines and finding the line that names a process.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

constexpr const char* kReferenceFileName = "processinfo.dat";
// A longer line is cut; its rest is read as the next line.
constexpr size_t kReferenceLineLimit = 300;

// The lines of the file in order, each without its line end (LF, or CR LF),
// up to the first line that contains "[EOF]". An empty line is an empty entry.
std::vector<std::string> ParseReferenceInfo(std::string_view bytes);

// The text after the last backslash that is not the first byte; the whole
// path when there is none. A backslash that is the second byte of a
// double-byte character is not a separator.
std::string GetFileNamePart(std::string_view path);

// "\n正常进程参考信息:\n" and the first line that contains the file-name part
// of name (ASCII case ignored), or the empty text when no line names it.
std::string LookupReferenceText(std::string_view name, const std::vector<std::string>& referenceLines);
