#include "blocklist/FingerprintFile.h"

#include <algorithm>

#include "blocklist/BlockListRules.h"

const char* const kFingerprintFileName = "prochash.dat";

namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr size_t kMostSizeDigits = 20;

bool ReadSize(std::string_view text, uint64_t& size) {
    if (text.empty() || text.size() > kMostSizeDigits) return false;
    uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        const uint64_t digit = static_cast<uint64_t>(c - '0');
        if (value > (UINT64_MAX - digit) / 10) return false;
        value = value * 10 + digit;
    }
    size = value;
    return true;
}

bool ReadHex(std::string_view text, std::string& hex) {
    if (text.size() != kSha256HexLength) return false;
    std::string lower(text);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'F') c = static_cast<char>(c + 0x20);
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    }
    hex = std::move(lower);
    return true;
}

// Calls visit(line, lineWithItsEnd) for each line of bytes.
template <typename Visit>
void ForEachLine(std::string_view bytes, Visit visit) {
    size_t lineStart = 0;
    while (lineStart < bytes.size()) {
        const size_t breakAt = bytes.find_first_of("\r\n", lineStart);
        size_t next = bytes.size();
        size_t lineEnd = bytes.size();
        if (breakAt != std::string_view::npos) {
            lineEnd = breakAt;
            const bool crLf = bytes[breakAt] == '\r' && breakAt + 1 < bytes.size() && bytes[breakAt + 1] == '\n';
            next = breakAt + (crLf ? 2 : 1);
        }
        visit(bytes.substr(lineStart, lineEnd - lineStart), bytes.substr(lineStart, next - lineStart));
        lineStart = next;
    }
}

}  // namespace

bool ParseFingerprintLine(std::string_view line, FileFingerprint& fingerprint) {
    const size_t firstTab = line.find('\t');
    if (firstTab == std::string_view::npos) return false;
    const size_t secondTab = line.find('\t', firstTab + 1);
    if (secondTab == std::string_view::npos || line.find('\t', secondTab + 1) != std::string_view::npos) return false;
    const std::string_view name = line.substr(0, firstTab);
    if (name.empty() || name.size() > kMaxBlockNameLength) return false;
    FileFingerprint read;
    if (!ReadSize(line.substr(firstTab + 1, secondTab - firstTab - 1), read.size)) return false;
    if (!ReadHex(line.substr(secondTab + 1), read.sha256)) return false;
    read.name = std::string(name);
    fingerprint = std::move(read);
    return true;
}

std::vector<FileFingerprint> ReadFingerprints(std::string_view fileBytes) {
    std::vector<FileFingerprint> fingerprints;
    ForEachLine(fileBytes, [&](std::string_view line, std::string_view) {
        FileFingerprint fingerprint;
        if (ParseFingerprintLine(line, fingerprint)) fingerprints.push_back(std::move(fingerprint));
    });
    return fingerprints;
}

std::string FingerprintLine(const FileFingerprint& fingerprint) {
    return fingerprint.name + "\t" + std::to_string(fingerprint.size) + "\t" + fingerprint.sha256 +
           std::string(kLineEnd);
}

std::string AppendFingerprintBytes(std::string_view fileBytes, const FileFingerprint& fingerprint) {
    std::string bytes(fileBytes);
    const std::vector<FileFingerprint> present = ReadFingerprints(fileBytes);
    const bool known = std::any_of(present.begin(), present.end(), [&](const FileFingerprint& entry) {
        return entry.name == fingerprint.name && entry.size == fingerprint.size && entry.sha256 == fingerprint.sha256;
    });
    if (known) return bytes;
    if (!bytes.empty() && bytes.back() != '\r' && bytes.back() != '\n') bytes += kLineEnd;
    return bytes + FingerprintLine(fingerprint);
}

std::string RemoveFingerprintsOf(std::string_view fileBytes, const std::set<std::string>& names) {
    std::string bytes;
    bytes.reserve(fileBytes.size());
    ForEachLine(fileBytes, [&](std::string_view line, std::string_view withEnd) {
        FileFingerprint fingerprint;
        if (ParseFingerprintLine(line, fingerprint) && names.count(fingerprint.name) > 0) return;
        bytes += withEnd;
    });
    return bytes;
}
