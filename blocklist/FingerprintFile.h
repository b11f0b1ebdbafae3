// The fingerprint file prochash.dat beside proc.dat: one line a recorded
// program file, code page 936, CR LF: the name as it went into proc.dat, a
// tab, the size in decimal, a tab, the SHA-256 in 64 lower-case hex digits.
// Lines the program cannot read are kept byte for byte and ignored.
#pragma once

#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "process/FileFingerprints.h"

extern const char* const kFingerprintFileName;  // "prochash.dat"

// One line without its line end; false when it is not a fingerprint: a name
// that is empty or longer than a process name, a size that is not 1 to 20
// decimal digits within 64 bits, a hash that is not 64 hex digits, or more or
// fewer than three fields. Upper-case hex digits read as lower-case ones.
bool ParseFingerprintLine(std::string_view line, FileFingerprint& fingerprint);

// The fingerprints of a file, in file order. Lines end at CR LF, a lone LF or
// a lone CR.
std::vector<FileFingerprint> ReadFingerprints(std::string_view fileBytes);

// "name<TAB>size<TAB>hex" and CR LF.
std::string FingerprintLine(const FileFingerprint& fingerprint);

// The file with the line added: every old byte stays (a last line without a
// line end gets one). A line already there is not added twice.
std::string AppendFingerprintBytes(std::string_view fileBytes, const FileFingerprint& fingerprint);

// The file without the fingerprints recorded under any of names; every other
// line, readable or not, stays byte for byte with its line end.
std::string RemoveFingerprintsOf(std::string_view fileBytes, const std::set<std::string>& names);
