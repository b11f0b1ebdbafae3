#include "process/ProcessIdentity.h"

#include "framework/FormatText.h"
#include "process/ProcessTree.h"

namespace {

const char* const kUnreadable = "无法读取";
const char* const kEllipsis = "…";

}  // namespace

std::string CutWithEllipsis(std::string_view text, size_t maxBytes) {
    if (text.size() <= maxBytes) return std::string(text);
    const std::string_view ellipsis(kEllipsis);
    if (maxBytes < ellipsis.size()) return std::string();
    const size_t room = maxBytes - ellipsis.size();
    size_t end = 0;
    while (end < text.size()) {
        const size_t width =
            IsCodePage936LeadByte(static_cast<unsigned char>(text[end])) && end + 1 < text.size() ? 2 : 1;
        if (end + width > room) break;
        end += width;
    }
    std::string cut(text.substr(0, end));
    cut += ellipsis;
    return cut;
}

std::string TooltipText(const std::string& path, const std::optional<std::string>& commandLine, size_t maxBytes) {
    const std::string text = (path.empty() ? kUnreadable : path) + "\n" + commandLine.value_or(kUnreadable);
    return CutWithEllipsis(text, maxBytes);
}

std::string ParentLine(uint32_t parentPid, const std::string* parentName) {
    if (parentName) return FormatText(" 父进程: %s (PID %u)", parentName->c_str(), static_cast<unsigned>(parentPid));
    return FormatText(" 父进程: PID %u（已结束）", static_cast<unsigned>(parentPid));
}

std::string BuildIdentityLines(const CommandContext& context, const SelectedProcess& selected) {
    ProcessSystem& system = context.system;
    std::optional<ProcessRecord> self;
    const std::vector<ProcessRecord> records = IdentifiedWalk(system);
    for (const ProcessRecord& record : records) {
        if (IsSameProcess({record.pid, record.startTime}, selected.instance()) && record.name == selected.name) {
            self = record;
        }
    }
    if (!self) {
        return FormatText(" 命令行: %s\n 父进程: %s\n 用户: %s\n 数字签名: %s", kUnreadable, kUnreadable, kUnreadable,
                          kUnreadable);
    }
    const std::optional<std::string> commandLine = system.ReadCommandLine(self->pid);
    std::string lines = " 命令行: " + commandLine.value_or(kUnreadable);

    const TreeNode child{self->pid, self->parentPid, self->startTime};
    const std::string* parentName = nullptr;
    bool parentUnknown = false;  // a process has the pid, but which started first cannot be told
    for (const ProcessRecord& record : records) {
        if (record.pid != self->parentPid || record.pid == self->pid) continue;
        if (IsParentOf({record.pid, record.parentPid, record.startTime}, child)) parentName = &record.name;
        parentUnknown = record.startTime == 0;
        break;
    }
    lines +=
        "\n" + (parentUnknown ? FormatText(" 父进程: PID %u（%s）", static_cast<unsigned>(self->parentPid), kUnreadable)
                              : ParentLine(self->parentPid, parentName));

    const std::string user = system.ReadUserName(self->pid);
    lines += "\n 用户: " + (user.empty() ? std::string(kUnreadable) : user);

    const std::wstring path = system.LocateProgramFile(self->pid).path;
    const FileSignature signature = path.empty() ? FileSignature{} : system.ReadSignature(path);
    lines += "\n 数字签名: " + SignatureText(signature);
    return lines;
}

std::string AccountNames::NameOf(const std::string& sidText, const Lookup& lookup) {
    const auto known = m_names.find(sidText);
    if (known != m_names.end()) return known->second;
    const std::optional<std::string> name = lookup(sidText);
    return m_names[sidText] = name && !name->empty() ? *name : sidText;
}

bool CanReadProcessParameters(bool readerIs64Bit, bool targetIs64Bit) { return readerIs64Bit || !targetIs64Bit; }
