#include "blocklist/BlockListRules.h"

#include "process/ProcessRules.h"

const char* const kBlockListFileName = "proc.dat";
const char* const kBlockListMarker = "EOF";

namespace {

constexpr std::string_view kLineEnd = "\r\n";

bool IsNameLine(std::string_view line) { return !line.empty() && line.size() <= kMaxBlockNameLength; }

// The non-empty lines of a file's list (names, and lines too long to be one)
// and where the list ends: the start of the line holding the marker, or the
// end of the file when no line holds it.
struct BlockListExtent {
    std::vector<std::string_view> lines;
    size_t listEnd = 0;
};

BlockListExtent ReadExtent(std::string_view bytes) {
    BlockListExtent extent;
    size_t lineStart = 0;
    while (lineStart < bytes.size()) {
        const size_t breakAt = bytes.find_first_of("\r\n", lineStart);
        const size_t lineEnd = breakAt == std::string_view::npos ? bytes.size() : breakAt;
        const std::string_view line = bytes.substr(lineStart, lineEnd - lineStart);
        if (line.find(kBlockListMarker) != std::string_view::npos) {
            extent.listEnd = lineStart;
            return extent;
        }
        if (!line.empty()) extent.lines.push_back(line);
        if (breakAt == std::string_view::npos) break;
        // CR LF is one line end; a lone CR or a lone LF is one as well.
        const bool crLf = bytes[breakAt] == '\r' && breakAt + 1 < bytes.size() && bytes[breakAt + 1] == '\n';
        lineStart = breakAt + (crLf ? 2 : 1);
    }
    extent.listEnd = bytes.size();
    return extent;
}

bool EndsWithLineBreak(std::string_view bytes) {
    return !bytes.empty() && (bytes.back() == '\r' || bytes.back() == '\n');
}

}  // namespace

std::vector<std::string> ReadBlockNames(std::string_view fileBytes) {
    std::vector<std::string> names;
    for (std::string_view line : ReadExtent(fileBytes).lines) {
        if (IsNameLine(line)) names.emplace_back(line);
    }
    return names;
}

std::string AppendBlockNameBytes(std::string_view fileBytes, std::string_view name) {
    // Everything in front of the marker line stays as it is; in a file of the
    // program's own form that is every byte but the final "EOF".
    std::string bytes(fileBytes.substr(0, ReadExtent(fileBytes).listEnd));
    if (!bytes.empty() && !EndsWithLineBreak(bytes)) bytes += kLineEnd;
    bytes += name;
    bytes += kLineEnd;
    bytes += kBlockListMarker;
    return bytes;
}

std::string RewriteWithoutName(std::string_view fileBytes, std::string_view removedName) {
    std::string bytes;
    // A line too long to be a name was written by hand: it is kept as it is.
    for (std::string_view line : ReadExtent(fileBytes).lines) {
        if (IsNameLine(line) && line == removedName) continue;
        bytes += line;
        bytes += kLineEnd;
    }
    bytes += kBlockListMarker;
    return bytes;
}

BlockNameCheck CheckBlockName(std::string_view name) {
    if (name.empty()) return BlockNameCheck::Empty;
    if (name.size() > kMaxBlockNameLength) return BlockNameCheck::TooLong;
    if (name.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos) {
        return BlockNameCheck::HoldsLineBreak;
    }
    if (name.find(kBlockListMarker) != std::string_view::npos) return BlockNameCheck::HoldsMarker;
    // No file name holds '?', and no double-byte character of code page 936
    // has it as its second byte: it stands for a character the conversion
    // lost, and the name would match other processes that lost theirs.
    if (name.find('?') != std::string_view::npos) return BlockNameCheck::NotExact;
    return BlockNameCheck::Acceptable;
}

std::string BlockNameRefusalText(BlockNameCheck check) {
    switch (check) {
    case BlockNameCheck::TooLong:
        return FormatText("进程名太长，封锁列表中的进程名最多%d个字节", static_cast<int>(kMaxBlockNameLength));
    case BlockNameCheck::HoldsLineBreak: return "进程名中不能含有换行符";
    case BlockNameCheck::HoldsMarker: return "进程名中含有\"EOF\"，不能加入封锁列表";
    case BlockNameCheck::NotExact:
        return "进程名中含有简体中文代码页无法表示的字符（显示为\"?\"），封锁它会误封其他进程，不能加入封锁列表";
    case BlockNameCheck::Acceptable:
    case BlockNameCheck::Empty: break;
    }
    return "";
}

std::string BlockQuestionText(std::string_view name) {
    return "真的要把" + std::string(name) + "设为危险进程并永久封锁吗？";
}
