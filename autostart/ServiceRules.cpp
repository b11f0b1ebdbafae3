#include "autostart/ServiceRules.h"

#include <algorithm>

const wchar_t* const kServicesKey = L"SYSTEM\\CurrentControlSet\\Services";
const wchar_t* const kOwnDisabledServicesKey = L"Software\\tarvemonix\\Disabled\\Services";

namespace {

const wchar_t* const kSavedStartName = L"Start";
const wchar_t* const kSavedDelayedName = L"DelayedAutostart";

std::wstring LowerAscii(std::wstring text) {
    for (wchar_t& c : text) {
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    }
    return text;
}

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

RegistryValue DwordValue(const wchar_t* name, uint32_t number) {
    RegistryValue value{name, kRegDword, {}};
    for (int shift = 0; shift < 32; shift += 8) value.bytes.push_back(static_cast<uint8_t>(number >> shift));
    return value;
}

std::optional<uint32_t> DwordOf(const RegistryValue& value) {
    if (value.type != kRegDword || value.bytes.size() != 4) return std::nullopt;
    uint32_t number = 0;
    for (int at = 3; at >= 0; --at) number = (number << 8) | value.bytes[static_cast<size_t>(at)];
    return number;
}

}  // namespace

std::wstring ServiceParametersKey(const std::wstring& serviceName) {
    return std::wstring(kServicesKey) + L"\\" + serviceName + L"\\Parameters";
}

std::wstring SavedServiceStartKey(const std::wstring& serviceName) {
    return std::wstring(kOwnDisabledServicesKey) + L"\\" + serviceName;
}

bool IsSharedServiceHost(const std::wstring& binaryPath) {
    // The program: up to the closing quote, or up to the first blank.
    size_t start = binaryPath.find_first_not_of(L" \t");
    if (start == std::wstring::npos) return false;
    const bool quoted = binaryPath[start] == L'"';
    if (quoted) ++start;
    const auto blank = std::find_if(binaryPath.begin() + static_cast<std::ptrdiff_t>(start), binaryPath.end(), IsBlank);
    const size_t end = quoted ? std::min(binaryPath.find(L'"', start), binaryPath.size())
                              : static_cast<size_t>(blank - binaryPath.begin());
    const std::wstring program = LowerAscii(FileNameOf(binaryPath.substr(start, end - start)));
    if (program != L"svchost.exe" && program != L"svchost") return false;
    // A "-k" (or "/k") among the arguments names the group.
    for (size_t at = end; at < binaryPath.size();) {
        const size_t word = binaryPath.find_first_not_of(L" \t\"", at);
        if (word == std::wstring::npos) break;
        const size_t wordEnd = std::min(binaryPath.find_first_of(L" \t\"", word), binaryPath.size());
        const std::wstring argument = LowerAscii(binaryPath.substr(word, wordEnd - word));
        if (argument == L"-k" || argument == L"/k") return true;
        at = wordEnd;
    }
    return false;
}

std::wstring ServiceCommand(const std::wstring& binaryPath, const std::wstring& serviceDll) {
    return IsSharedServiceHost(binaryPath) && !serviceDll.empty() ? serviceDll : binaryPath;
}

bool ListsService(const ServiceStart& start, bool startSaved) {
    return start.type == kServiceAutoStart || (start.type == kServiceDisabled && startSaved);
}

std::vector<RegistryValue> SavedStartValues(const ServiceStart& start) {
    return {DwordValue(kSavedStartName, start.type), DwordValue(kSavedDelayedName, start.delayed ? 1 : 0)};
}

std::optional<ServiceStart> SavedStartFrom(const std::vector<RegistryValue>& values) {
    std::optional<uint32_t> type;
    bool delayed = false;
    for (const RegistryValue& value : values) {
        if (LowerAscii(value.name) == L"start") type = DwordOf(value);
        if (LowerAscii(value.name) == L"delayedautostart") delayed = DwordOf(value).value_or(0) != 0;
    }
    if (!type || *type >= kServiceDisabled) return std::nullopt;
    // Only an automatic start can be delayed.
    return ServiceStart{*type, delayed && *type == kServiceAutoStart};
}

std::string ServiceStartText(const ServiceStart& start) {
    switch (start.type) {
    case kServiceBootStart: return "引导";
    case kServiceSystemStart: return "系统";
    case kServiceAutoStart: return start.delayed ? "自动（延迟启动）" : "自动";
    case kServiceDemandStart: return "手动";
    case kServiceDisabled: return "禁用";
    default: return "未知（" + std::to_string(start.type) + "）";
    }
}

std::string ServiceStatusText(const EntryMarks& marks, bool running) {
    return StatusText(marks) + (running ? "、运行中" : "");
}

std::string ServiceRemovalLogLine(const std::string& name, const std::string& displayName,
                                  const std::string& binaryPath, const std::string& startText,
                                  const std::string& account, const LocalTime& time) {
    std::string line = LocalTimeText(time) + "  删除服务  " + name + "  " + displayName + "  " + binaryPath + "  " +
                       startText + "  " + account;
    std::replace_if(
        line.begin(), line.end(), [](char byte) { return byte == '\r' || byte == '\n'; }, ' ');
    return line + "\r\n";
}

std::string ServiceRemovalQuestion(const std::string& name) {
    return "确定要删除服务 " + name + " 吗？此操作会停止并删除该服务。";
}
