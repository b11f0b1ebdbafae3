#include "process/ReferenceInfo.h"

#include "framework/FormatText.h"
#include "process/ProcessRules.h"

namespace {

// Length of the next entry taken from text (which holds no line feed): at
// most the limit, one byte less when the cut would split a double-byte
// character.
size_t EntryLength(std::string_view text) {
    if (text.size() <= kReferenceLineLimit) return text.size();
    size_t index = 0;
    while (index < kReferenceLineLimit) {
        const bool doubleByte =
            IsCodePage936LeadByte(static_cast<unsigned char>(text[index])) && index + 1 < text.size();
        const size_t width = doubleByte ? 2 : 1;
        if (index + width > kReferenceLineLimit) break;
        index += width;
    }
    return index;
}

}  // namespace

std::vector<std::string> ParseReferenceInfo(std::string_view bytes) {
    std::vector<std::string> lines;
    size_t position = 0;
    while (position < bytes.size()) {
        const size_t feed = bytes.find('\n', position);
        const size_t end = feed == std::string_view::npos ? bytes.size() : feed;
        std::string_view line = bytes.substr(position, end - position);
        position = feed == std::string_view::npos ? bytes.size() : feed + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        // A long line gives several entries; the marker is looked for in each.
        do {
            const std::string_view entry = line.substr(0, EntryLength(line));
            if (entry.find("[EOF]") != std::string_view::npos) return lines;
            lines.emplace_back(entry);
            line.remove_prefix(entry.size());
        } while (!line.empty());
    }
    return lines;
}

std::string GetFileNamePart(std::string_view path) {
    size_t start = 0;
    for (size_t index = 0; index < path.size(); ++index) {
        if (IsCodePage936LeadByte(static_cast<unsigned char>(path[index]))) {
            ++index;  // the trail byte may be a backslash
        } else if (path[index] == '\\' && index > 0) {
            start = index + 1;
        }
    }
    return std::string(path.substr(start));
}

std::string LookupReferenceText(std::string_view name, const std::vector<std::string>& referenceLines) {
    const std::string base = GetFileNamePart(name);
    // An empty name names no process (it would occur in every line).
    if (base.empty()) return {};
    for (const std::string& line : referenceLines) {
        if (ContainsNoCase(line, base)) return "\n正常进程参考信息:\n" + line;
    }
    return {};
}
