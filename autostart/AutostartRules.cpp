#include "autostart/AutostartRules.h"

#include <algorithm>

#include "framework/FormatText.h"
#include "process/ProgramLocation.h"

const wchar_t* const kRunKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const wchar_t* const kRunOnceKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
const wchar_t* const kWinlogonKey = L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
const wchar_t* const kImageOptionsKey =
    L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options";
const wchar_t* const kOwnDisabledKey = L"Software\\tarvemonix\\Disabled";

namespace {

wchar_t Fold(wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c; }

bool EqualNoCase(std::wstring_view a, std::wstring_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](wchar_t x, wchar_t y) { return Fold(x) == Fold(y); });
}

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

std::wstring Trimmed(std::wstring_view text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && IsBlank(text[begin])) ++begin;
    while (end > begin && IsBlank(text[end - 1])) --end;
    return std::wstring(text.substr(begin, end - begin));
}

bool HasFolder(const std::wstring& path) { return path.find_first_of(L"\\/:") != std::wstring::npos; }

bool HasExtension(const std::wstring& path) { return FileNameOf(path).find(L'.') != std::wstring::npos; }

std::wstring InFolder(const std::wstring& folder, const std::wstring& name) {
    if (folder.empty() || folder.back() == L'\\' || folder.back() == L'/') return folder + name;
    return folder + L'\\' + name;
}

// The file a name stands for: as it is, then with extension where it has
// none; a bare name in each search folder. Empty when none exists.
std::wstring FindFile(const std::wstring& name, const wchar_t* extension, const CommandLookups& lookups) {
    if (name.empty() || !lookups.isFile) return std::wstring();
    std::vector<std::wstring> candidates;
    if (HasFolder(name)) {
        candidates.push_back(name);
    } else {
        for (const std::wstring& folder : lookups.searchFolders) candidates.push_back(InFolder(folder, name));
    }
    const bool tryExtension = !HasExtension(name);
    for (const std::wstring& candidate : candidates) {
        if (lookups.isFile(candidate)) return candidate;
        if (tryExtension && lookups.isFile(candidate + extension)) return candidate + extension;
    }
    return std::wstring();
}

std::string Narrow(const std::wstring& ascii) {
    std::string narrow;
    for (wchar_t c : ascii) narrow += c < 0x80 ? static_cast<char>(c) : '?';
    return narrow;
}

// The library of "rundll32 x.dll,Entry args": the first argument up to its
// comma, without quotes.
std::wstring LibraryOfRundllArguments(const std::wstring& arguments) {
    std::wstring rest = Trimmed(arguments);
    if (!rest.empty() && rest.front() == L'"') {
        const size_t close = rest.find(L'"', 1);
        return rest.substr(1, close == std::wstring::npos ? std::wstring::npos : close - 1);
    }
    return rest.substr(0, std::min(rest.find(L','), rest.find_first_of(L" \t")));
}

}  // namespace

std::wstring FileNameOf(const std::wstring& path) {
    const size_t separator = path.find_last_of(L"\\/");
    return separator == std::wstring::npos ? path : path.substr(separator + 1);
}

std::wstring ExpandEnvironmentText(const std::wstring& text, const CommandLookups& lookups) {
    std::wstring expanded;
    size_t at = 0;
    while (at < text.size()) {
        const size_t open = text.find(L'%', at);
        const size_t close = open == std::wstring::npos ? open : text.find(L'%', open + 1);
        if (close == std::wstring::npos) break;
        expanded.append(text, at, open - at);
        const std::wstring name = text.substr(open + 1, close - open - 1);
        const std::optional<std::wstring> value =
            name.empty() || !lookups.environment ? std::nullopt : lookups.environment(name);
        if (value) {
            expanded += *value;
            at = close + 1;
        } else {
            // The closing '%' may open the next name ("%a%b%c%").
            expanded += L'%';
            expanded += name;
            at = close;
        }
    }
    expanded.append(text, std::min(at, text.size()), std::wstring::npos);
    return expanded;
}

std::optional<std::wstring> ExplorerEnvironmentValue(
    const std::wstring& name, bool runsUnderWow64,
    const std::function<std::optional<std::wstring>(const std::wstring& name)>& environment) {
    if (!environment) return std::nullopt;
    if (runsUnderWow64) {
        const wchar_t* explorers = EqualNoCase(name, L"ProgramFiles")         ? L"ProgramW6432"
                                   : EqualNoCase(name, L"CommonProgramFiles") ? L"CommonProgramW6432"
                                                                              : nullptr;
        if (explorers) {
            if (std::optional<std::wstring> value = environment(explorers)) return value;
        }
    }
    return environment(name);
}

CommandProgram ProgramOfCommand(const std::wstring& command, const CommandLookups& lookups) {
    const std::wstring line = Trimmed(ExpandEnvironmentText(command, lookups));
    CommandProgram result;
    std::wstring arguments;
    if (line.empty()) return result;
    if (line.front() == L'"') {
        const size_t close = line.find(L'"', 1);
        result.program = Trimmed(line.substr(1, close == std::wstring::npos ? std::wstring::npos : close - 1));
        arguments = close == std::wstring::npos ? std::wstring() : line.substr(close + 1);
        const std::wstring found = FindFile(result.program, L".exe", lookups);
        result.found = !found.empty();
        if (result.found) result.program = found;
    } else {
        // "C:\Program Files\x y\a.exe /b": "C:\Program", then "C:\Program Files\x", ...
        size_t end = line.find_first_of(L" \t");
        const size_t firstEnd = end;
        for (size_t tries = 0; tries < kMaxUnquotedTries; ++tries) {
            const std::wstring found = FindFile(line.substr(0, end), L".exe", lookups);
            if (!found.empty()) {
                result.program = found;
                result.found = true;
                arguments = end == std::wstring::npos ? std::wstring() : line.substr(end);
                break;
            }
            if (end == std::wstring::npos) break;
            end = line.find_first_of(L" \t", line.find_first_not_of(L" \t", end));
        }
        if (!result.found) {
            result.program = line.substr(0, firstEnd);
            arguments = firstEnd == std::wstring::npos ? std::wstring() : line.substr(firstEnd);
        }
    }
    const std::wstring name = FileNameOf(result.program);
    if (EqualNoCase(name, L"rundll32.exe") || EqualNoCase(name, L"rundll32")) {
        const std::wstring library = LibraryOfRundllArguments(arguments);
        if (!library.empty()) {
            result.host = result.program;
            const std::wstring found = FindFile(library, L".dll", lookups);
            result.found = !found.empty();
            result.program = result.found ? found : library;
        }
    }
    return result;
}

RegistryValue StringValue(const std::wstring& name, const std::wstring& text, uint32_t type) {
    RegistryValue value{name, type, {}};
    for (wchar_t c : text + L'\0') {
        value.bytes.push_back(static_cast<uint8_t>(c & 0xFF));
        value.bytes.push_back(static_cast<uint8_t>((c >> 8) & 0xFF));
    }
    return value;
}

bool IsTextValue(const RegistryValue& value) {
    return value.type == kRegSz || value.type == kRegExpandSz || value.type == kRegMultiSz;
}

std::wstring CommandTextOf(const RegistryValue& value) {
    if (value.type == kRegDword && value.bytes.size() == 4) {
        const uint32_t number = value.bytes[0] | (value.bytes[1] << 8) | (value.bytes[2] << 16) |
                                (static_cast<uint32_t>(value.bytes[3]) << 24);
        return std::to_wstring(number);
    }
    if (!IsTextValue(value)) {
        std::wstring hex;
        const wchar_t* digits = L"0123456789ABCDEF";
        for (uint8_t byte : value.bytes) {
            if (!hex.empty()) hex += L' ';
            hex += digits[byte >> 4];
            hex += digits[byte & 0x0F];
        }
        return hex;
    }
    std::wstring text;
    for (size_t at = 0; at + 1 < value.bytes.size(); at += 2) {
        text += static_cast<wchar_t>(value.bytes[at] | (value.bytes[at + 1] << 8));
    }
    if (value.type != kRegMultiSz) return text.substr(0, text.find(L'\0'));
    // Strings each ended by a NUL, the list by an empty one.
    std::wstring joined;
    for (size_t start = 0; start < text.size();) {
        const size_t nul = std::min(text.find(L'\0', start), text.size());
        if (nul == start) break;
        if (!joined.empty()) joined += L' ';
        joined.append(text, start, nul - start);
        start = nul + 1;
    }
    return joined;
}

std::string ValueTypeName(uint32_t type) {
    switch (type) {
    case kRegSz: return "REG_SZ";
    case kRegExpandSz: return "REG_EXPAND_SZ";
    case kRegBinary: return "REG_BINARY";
    case kRegDword: return "REG_DWORD";
    case kRegMultiSz: return "REG_MULTI_SZ";
    default: return FormatText("REG_类型 %u", static_cast<unsigned>(type));
    }
}

std::vector<RegistryView> MachineViews(bool systemIs64Bit) {
    if (systemIs64Bit) return {RegistryView::Key64, RegistryView::Key32};
    return {RegistryView::Native};
}

std::wstring RegistryKeyOf(const StartupPlace& place) {
    switch (place.kind) {
    case PlaceKind::Run: return kRunKey;
    case PlaceKind::RunOnce: return kRunOnceKey;
    case PlaceKind::Winlogon: return kWinlogonKey;
    case PlaceKind::ImageOptions: return kImageOptionsKey;
    case PlaceKind::Service:
    case PlaceKind::Task:
    case PlaceKind::StartupFolder: break;
    }
    return std::wstring();
}

std::string PlaceText(const StartupPlace& place) {
    const std::string root = place.root == RegistryRoot::CurrentUser ? "HKCU" : "HKLM";
    const std::string wow = place.view == RegistryView::Key32 ? "\\...\\WOW6432Node" : "";
    switch (place.kind) {
    case PlaceKind::Run: return root + wow + "\\...\\Run";
    case PlaceKind::RunOnce: return root + wow + "\\...\\RunOnce";
    case PlaceKind::Winlogon: return root + "\\...\\Winlogon";
    case PlaceKind::ImageOptions: return root + wow + "\\...\\Image File Execution Options";
    case PlaceKind::Service: return "服务";
    case PlaceKind::Task: return "计划任务";
    case PlaceKind::StartupFolder: break;
    }
    return place.root == RegistryRoot::CurrentUser ? "启动文件夹（当前用户）" : "启动文件夹（所有用户）";
}

std::wstring PlaceInFull(const StartupPlace& place, const std::wstring& startupFolder) {
    if (place.kind == PlaceKind::StartupFolder) return startupFolder;
    std::wstring key = RegistryKeyOf(place);
    // WOW6432Node sits right below Software.
    if (place.view == RegistryView::Key32) key.insert(key.find(L'\\'), L"\\WOW6432Node");
    return (place.root == RegistryRoot::CurrentUser ? L"HKEY_CURRENT_USER\\" : L"HKEY_LOCAL_MACHINE\\") + key;
}

std::wstring OwnDisabledSubkey(const StartupPlace& place) {
    std::wstring subkey = place.root == RegistryRoot::CurrentUser ? L"HKCU" : L"HKLM";
    if (place.view == RegistryView::Key32) subkey += L"32";
    subkey += place.kind == PlaceKind::RunOnce ? L"-RunOnce" : L"-Run";
    return std::wstring(kOwnDisabledKey) + L"\\" + subkey;
}

ValueLocation OwnDisabledLocation(const StartupPlace& place, bool systemIs64Bit) {
    const bool machine64 = systemIs64Bit && place.root == RegistryRoot::LocalMachine;
    return {place.root, machine64 ? RegistryView::Key64 : RegistryView::Native, OwnDisabledSubkey(place)};
}

ValueLocation EarlierDisabledLocation(const StartupPlace& place) {
    return {RegistryRoot::CurrentUser, RegistryView::Native, OwnDisabledSubkey(place)};
}

namespace {

std::wstring WithoutTrailingSeparators(std::wstring folder) {
    while (!folder.empty() && (folder.back() == L'\\' || folder.back() == L'/')) folder.pop_back();
    return folder;
}

}  // namespace

std::wstring OwnDisabledFolder(const std::wstring& dataFolder) {
    return WithoutTrailingSeparators(dataFolder) + L"\\tarvemonix\\Disabled\\StartUp";
}

std::wstring EarlierDisabledFolder(const std::wstring& startupFolder) {
    return WithoutTrailingSeparators(startupFolder) + L" (tarvemonix disabled)";
}

DisableWay DisableWayFor(PlaceKind kind, WindowsVersion version) {
    switch (kind) {
    case PlaceKind::Winlogon:
    case PlaceKind::ImageOptions: return DisableWay::None;
    case PlaceKind::Service:
    case PlaceKind::Task:
    case PlaceKind::RunOnce: return DisableWay::OwnPlace;
    case PlaceKind::Run:
    case PlaceKind::StartupFolder: break;
    }
    const bool windows8OrLater = version.major > 6 || (version.major == 6 && version.minor >= 2);
    return windows8OrLater ? DisableWay::StartupApproved : DisableWay::OwnPlace;
}

std::optional<ApprovalKey> ApprovalKeyFor(const StartupPlace& place, bool systemIs64Bit) {
    const std::wstring base = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\";
    // Explorer, a 64-bit program on a 64-bit system, reads the 64-bit key.
    const bool machine64 = systemIs64Bit && place.root == RegistryRoot::LocalMachine;
    const RegistryView view = machine64 ? RegistryView::Key64 : RegistryView::Native;
    if (place.kind == PlaceKind::StartupFolder) return ApprovalKey{place.root, view, base + L"StartupFolder"};
    if (place.kind != PlaceKind::Run) return std::nullopt;
    return ApprovalKey{place.root, view, base + (place.view == RegistryView::Key32 ? L"Run32" : L"Run")};
}

bool IsDisabledByApproval(const std::vector<uint8_t>& approval) { return !approval.empty() && (approval[0] & 1) != 0; }

std::vector<uint8_t> DisablingApproval(const std::vector<uint8_t>& before, uint64_t now) {
    std::vector<uint8_t> bytes(12, 0);
    bytes[0] = static_cast<uint8_t>((before.empty() ? 0x02 : before[0]) | 1);
    for (int index = 0; index < 8; ++index) bytes[4 + index] = static_cast<uint8_t>(now >> (8 * index));
    return bytes;
}

std::vector<uint8_t> EnablingApproval(const std::vector<uint8_t>& before) {
    std::vector<uint8_t> bytes(12, 0);
    bytes[0] = static_cast<uint8_t>(before.empty() ? 0x02 : before[0] & ~1);
    return bytes;
}

namespace {

// Whether item names the file name in the Windows folder (or a folder below it), or bare.
bool NamesWindowsFile(const std::wstring& item, const std::wstring& windowsFolder, const std::wstring& below) {
    const std::wstring path = Trimmed(item);
    if (EqualNoCase(path, below.substr(below.find_last_of(L'\\') + 1))) return true;
    std::wstring windows = windowsFolder;
    while (!windows.empty() && windows.back() == L'\\') windows.pop_back();
    return !windows.empty() && (EqualNoCase(path, windows + below) || EqualNoCase(path, L"%SystemRoot%" + below) ||
                                EqualNoCase(path, L"%windir%" + below));
}

}  // namespace

bool IsDefaultWinlogonShell(const std::wstring& value, const std::wstring& windowsFolder) {
    return NamesWindowsFile(value, windowsFolder, L"\\explorer.exe");
}

bool IsDefaultWinlogonUserinit(const std::wstring& value, const std::wstring& windowsFolder) {
    size_t items = 0;
    for (size_t start = 0; start <= value.size();) {
        const size_t comma = std::min(value.find(L',', start), value.size());
        const std::wstring item = Trimmed(std::wstring_view(value).substr(start, comma - start));
        if (!item.empty()) {
            if (!NamesWindowsFile(item, windowsFolder, L"\\system32\\userinit.exe")) return false;
            ++items;
        }
        start = comma + 1;
    }
    return items == 1;
}

std::string StatusText(const EntryMarks& marks) {
    std::string text;
    const auto add = [&text](const char* word) { text += (text.empty() ? "" : "、") + std::string(word); };
    if (marks.dangerous) add("危险");
    if (marks.missing) add("文件不存在");
    if (marks.suspicious) add("可疑");
    add(marks.disabled ? "已禁用" : "已启用");
    return text;
}

bool IsSuspiciousProgramFile(const std::wstring& path, const std::wstring& windowsFolder,
                             const std::vector<std::wstring>& temporaryFolders) {
    if (path.empty()) return false;
    for (const std::wstring& temporary : temporaryFolders) {
        if (IsInsideFolder(path, temporary)) return true;
    }
    std::wstring folded;
    for (wchar_t c : path) folded += c == L'/' ? L'\\' : Fold(c);
    if (folded.find(L"\\$recycle.bin\\") != std::wstring::npos || folded.find(L"\\recycler\\") != std::wstring::npos) {
        return true;
    }
    return IsSuspiciousLocation(Narrow(FileNameOf(path)), PlaceOf(path, windowsFolder));
}

bool IsSignedByMicrosoft(const FileSignature& signature) {
    const std::string_view maker = "Microsoft";
    const std::string_view signer = signature.signer;
    return signature.verdict == SignatureVerdict::Verified && signer.substr(0, maker.size()) == maker &&
           (signer.size() == maker.size() || signer[maker.size()] == ' ');
}

bool MayBeWindowsOwn(const EntryMarks& marks, ProgramPlace place) {
    const bool marked = marks.dangerous || marks.suspicious || marks.missing;
    return !marked && place == ProgramPlace::InWindowsFolder;
}

bool HidesAsWindowsOwn(const EntryMarks& marks, ProgramPlace place, const FileSignature& signature) {
    return MayBeWindowsOwn(marks, place) && IsSignedByMicrosoft(signature);
}

std::string EntryCountText(size_t shown, size_t hidden) {
    return "共 " + std::to_string(shown) + " 项（已隐藏 " + std::to_string(hidden) + " 项 Windows 自带项）";
}

std::string DescriptionText(const ProgramVersion& version) {
    if (version.description.empty() || version.company.empty()) return version.description + version.company;
    return version.description + "（" + version.company + "）";
}

std::string StartupDetailsText(const std::string& programPath, bool found, const ProgramVersion& version,
                               const std::string& signatureText) {
    const auto orUnreadable = [](const std::string& text) { return text.empty() ? std::string("无法读取") : text; };
    std::string text = " 程序文件: " + orUnreadable(programPath);
    if (!programPath.empty() && !found) text += "（文件不存在）";
    text += "\n 文件描述: " + orUnreadable(version.description);
    text += "\n 公司: " + orUnreadable(version.company);
    text += "\n 数字签名: " + signatureText;
    return text;
}

std::string StartupRemovalLogLine(const std::string& placeInFull, const std::string& name, const std::string& typeName,
                                  const std::string& value, const LocalTime& time) {
    std::string line =
        LocalTimeText(time) + "  删除启动项  " + placeInFull + "  " + name + "  " + typeName + "  " + value;
    std::replace_if(
        line.begin(), line.end(), [](char byte) { return byte == '\r' || byte == '\n'; }, ' ');
    return line + "\r\n";
}

std::wstring EscapeForLog(const std::wstring& text, const std::function<bool(char32_t)>& inCodePage) {
    std::wstring escaped;
    const auto escape = [&escaped](char32_t code) {
        const wchar_t* digits = L"0123456789ABCDEF";
        std::wstring hex;
        do {
            hex.insert(hex.begin(), digits[code & 0xF]);
            code >>= 4;
        } while (code != 0);
        escaped += L"\\u{" + hex + L"}";
    };
    for (size_t at = 0; at < text.size(); ++at) {
        char32_t code = static_cast<char32_t>(text[at]);
        const bool high = code >= 0xD800 && code <= 0xDBFF;
        const char32_t next = at + 1 < text.size() ? static_cast<char32_t>(text[at + 1]) : 0;
        if (high && next >= 0xDC00 && next <= 0xDFFF) {
            code = 0x10000 + ((code - 0xD800) << 10) + (next - 0xDC00);
            ++at;
        }
        const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
        const bool escapeMark = code == L'\\' && text.compare(at + 1, 2, L"u{") == 0;
        if (code > 0xFFFF || surrogate || escapeMark || !inCodePage(code)) {
            escape(code);
        } else {
            escaped += static_cast<wchar_t>(code);
        }
    }
    return escaped;
}

bool IsShortcutFile(const std::wstring& name) {
    const std::wstring lnk = L".lnk";
    return name.size() > lnk.size() && EqualNoCase(std::wstring_view(name).substr(name.size() - lnk.size()), lnk);
}

std::string RemovalQuestion(const std::string& name, bool toRecycleBin) {
    const std::string question = "确定要删除启动项 " + name + " 吗？";
    return toRecycleBin ? question + "\n该程序文件将移到回收站。" : question;
}

std::string StartupDialogCaption(const std::string& programAccount, const std::string& desktopAccount) {
    std::string caption = "启动项";
    if (programAccount.empty() || desktopAccount.empty() || programAccount == desktopAccount) return caption;
    return caption + "（以 " + programAccount + " 的身份运行：“当前用户”的启动项属于 " + programAccount + "，不属于 " +
           desktopAccount + "）";
}

bool OffersAdministratorRestart(long status, bool runsAsAdministrator) {
    return status == kErrorAccessDenied && !runsAsAdministrator;
}
