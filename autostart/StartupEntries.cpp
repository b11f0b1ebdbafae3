#include "autostart/StartupEntries.h"

#include <algorithm>

namespace {

constexpr long kErrorAlreadyExists = 183;

std::wstring LowerAscii(std::wstring text) {
    for (wchar_t& c : text) {
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    }
    return text;
}

bool EndsWithNoCase(const std::wstring& text, const std::wstring& lowerEnd) {
    return text.size() >= lowerEnd.size() && LowerAscii(text.substr(text.size() - lowerEnd.size())) == lowerEnd;
}

std::wstring InFolder(const std::wstring& folder, const std::wstring& name) {
    return !folder.empty() && folder.back() == L'\\' ? folder + name : folder + L'\\' + name;
}

SystemFolder StartupFolderOf(const StartupPlace& place) {
    return place.root == RegistryRoot::CurrentUser ? SystemFolder::UserStartup : SystemFolder::CommonStartup;
}

// The marks, texts and program of an entry whose place, name and command are read.
// The program is read from started (the command, unless said otherwise).
void Complete(const ListingContext& context, StartupEntry& entry, bool readableCommand,
              const std::wstring* started = nullptr) {
    AutostartSystem& system = context.system;
    if (readableCommand) entry.program = ProgramOfCommand(started ? *started : entry.command, system.Lookups());
    const std::wstring windows = system.Folder(SystemFolder::Windows);
    std::vector<std::wstring> temporary = {system.Folder(SystemFolder::Temporary)};
    if (!windows.empty()) temporary.push_back(windows + L"\\Temp");
    temporary.erase(std::remove(temporary.begin(), temporary.end(), std::wstring()), temporary.end());
    entry.marks.missing = !entry.program.found;
    entry.marks.suspicious =
        entry.program.found &&
        (IsSuspiciousProgramFile(entry.program.program, windows, temporary) ||
         (system.IsFile(entry.program.host) && IsSuspiciousProgramFile(entry.program.host, windows, temporary)));
    entry.marks.dangerous =
        !entry.program.program.empty() && context.isDangerous && context.isDangerous(entry.program.program);
    entry.marks.disabled = IsDisabled(entry);
    entry.placeText = PlaceText(entry.place);
    if (entry.program.found) entry.description = DescriptionText(system.ReadVersion(entry.program.program));
    entry.status = StatusText(entry.marks);
}

bool ApprovalDisables(AutostartSystem& system, const StartupPlace& place, const std::wstring& name) {
    const std::optional<ApprovalKey> key = ApprovalKeyFor(place, system.Is64BitSystem());
    RegistryValue approval;
    return key && system.ReadValue(key->root, key->view, key->key, name, approval) == kErrorSuccess &&
           IsDisabledByApproval(approval.bytes);
}

void AddRegistryPlace(const ListingContext& context, const StartupPlace& place, std::vector<StartupEntry>& entries) {
    AutostartSystem& system = context.system;
    const auto add = [&](const std::vector<RegistryValue>& values, bool movedAside) {
        for (const RegistryValue& value : values) {
            StartupEntry entry;
            entry.place = place;
            entry.name = value.name;
            entry.value = value;
            entry.command = CommandTextOf(value);
            entry.movedAside = movedAside;
            entry.disabledByApproval = !movedAside && ApprovalDisables(system, place, value.name);
            Complete(context, entry, IsTextValue(value));
            entries.push_back(std::move(entry));
        }
    };
    std::vector<RegistryValue> values;
    if (system.ListValues(place.root, place.view, RegistryKeyOf(place), values) == kErrorSuccess) add(values, false);
    values.clear();
    if (system.ListValues(RegistryRoot::CurrentUser, RegistryView::Native, OwnDisabledSubkey(place), values) ==
        kErrorSuccess) {
        add(values, true);
    }
}

void AddFolderPlace(const ListingContext& context, const StartupPlace& place, std::vector<StartupEntry>& entries) {
    AutostartSystem& system = context.system;
    const std::wstring startup = system.Folder(StartupFolderOf(place));
    if (startup.empty()) return;
    for (const bool movedAside : {false, true}) {
        const std::wstring folder = movedAside ? OwnDisabledFolder(startup) : startup;
        for (const std::wstring& name : system.FilesIn(folder)) {
            // The folder's own settings file starts nothing.
            if (LowerAscii(name) == L"desktop.ini") continue;
            StartupEntry entry;
            entry.place = place;
            entry.name = name;
            entry.file = InFolder(folder, name);
            entry.movedAside = movedAside;
            entry.disabledByApproval = !movedAside && ApprovalDisables(system, place, name);
            bool readable = true;
            if (EndsWithNoCase(name, L".lnk")) {
                ShortcutTarget target;
                readable = system.ReadShortcut(entry.file, target) && !target.path.empty();
                if (readable) {
                    entry.command = L"\"" + target.path + L"\"";
                    if (!target.arguments.empty()) entry.command += L" " + target.arguments;
                }
            } else {
                entry.command = L"\"" + entry.file + L"\"";
            }
            Complete(context, entry, readable);
            entries.push_back(std::move(entry));
        }
    }
}

void AddWinlogon(const ListingContext& context, std::vector<StartupEntry>& entries) {
    AutostartSystem& system = context.system;
    const StartupPlace place{PlaceKind::Winlogon, RegistryRoot::LocalMachine,
                             system.Is64BitSystem() ? RegistryView::Key64 : RegistryView::Native};
    const std::wstring windows = system.Folder(SystemFolder::Windows);
    for (const wchar_t* name : {L"Shell", L"Userinit"}) {
        RegistryValue value;
        if (system.ReadValue(place.root, place.view, kWinlogonKey, name, value) != kErrorSuccess) continue;
        const std::wstring text = CommandTextOf(value);
        const bool isShell = std::wstring(name) == L"Shell";
        const bool isDefault = IsTextValue(value) && (isShell ? IsDefaultWinlogonShell(text, windows)
                                                              : IsDefaultWinlogonUserinit(text, windows));
        if (isDefault) continue;
        // Userinit lists programs between commas: the first that is not
        // Windows' own is the one to look at.
        std::wstring started = text;
        for (size_t start = 0; !isShell && start <= text.size();) {
            const size_t comma = std::min(text.find(L',', start), text.size());
            const std::wstring item = text.substr(start, comma - start);
            if (item.find_first_not_of(L" \t") != std::wstring::npos && !IsDefaultWinlogonUserinit(item, windows)) {
                started = item;
                break;
            }
            start = comma + 1;
        }
        StartupEntry entry;
        entry.place = place;
        entry.name = name;
        entry.value = value;
        entry.command = text;
        Complete(context, entry, IsTextValue(value), &started);
        entries.push_back(std::move(entry));
    }
}

void AddImageOptions(const ListingContext& context, std::vector<StartupEntry>& entries) {
    AutostartSystem& system = context.system;
    std::vector<std::pair<std::wstring, RegistryValue>> seen;
    for (const RegistryView view : MachineViews(system.Is64BitSystem())) {
        const StartupPlace place{PlaceKind::ImageOptions, RegistryRoot::LocalMachine, view};
        std::vector<std::wstring> subkeys;
        if (system.ListSubkeys(place.root, view, kImageOptionsKey, subkeys) != kErrorSuccess) continue;
        for (const std::wstring& subkey : subkeys) {
            RegistryValue value;
            const std::wstring key = std::wstring(kImageOptionsKey) + L"\\" + subkey;
            if (system.ReadValue(place.root, view, key, L"Debugger", value) != kErrorSuccess) continue;
            // Where both views are one key the entry shows once.
            const std::pair<std::wstring, RegistryValue> identity{LowerAscii(subkey), value};
            if (std::find(seen.begin(), seen.end(), identity) != seen.end()) continue;
            seen.push_back(identity);
            StartupEntry entry;
            entry.place = place;
            entry.name = subkey;
            entry.value = value;
            entry.command = CommandTextOf(value);
            Complete(context, entry, IsTextValue(value));
            entries.push_back(std::move(entry));
        }
    }
}

// The key where the entry's value lies now.
std::wstring CurrentKeyOf(const StartupEntry& entry) {
    if (entry.place.kind == PlaceKind::ImageOptions) return std::wstring(kImageOptionsKey) + L"\\" + entry.name;
    return entry.movedAside ? OwnDisabledSubkey(entry.place) : RegistryKeyOf(entry.place);
}

RegistryRoot CurrentRootOf(const StartupEntry& entry) {
    return entry.movedAside ? RegistryRoot::CurrentUser : entry.place.root;
}

RegistryView CurrentViewOf(const StartupEntry& entry) {
    return entry.movedAside ? RegistryView::Native : entry.place.view;
}

ChangeResult Result(AutostartSystem& system, long status) {
    return {status, status == kErrorSuccess ? std::string() : system.ErrorText(status)};
}

// Moves a registry value between its place and this program's own key, with
// its type and bytes; a value of that name at the target is never overwritten.
ChangeResult MoveValue(AutostartSystem& system, const StartupEntry& entry) {
    const RegistryRoot toRoot = entry.movedAside ? entry.place.root : RegistryRoot::CurrentUser;
    const RegistryView toView = entry.movedAside ? entry.place.view : RegistryView::Native;
    const std::wstring toKey = entry.movedAside ? RegistryKeyOf(entry.place) : OwnDisabledSubkey(entry.place);
    RegistryValue existing;
    if (system.ReadValue(toRoot, toView, toKey, entry.name, existing) == kErrorSuccess) {
        return {kErrorAlreadyExists, "同名的启动项已存在。"};
    }
    const long written = system.WriteValue(toRoot, toView, toKey, entry.value);
    if (written != kErrorSuccess) return Result(system, written);
    const long deleted =
        system.DeleteValue(CurrentRootOf(entry), CurrentViewOf(entry), CurrentKeyOf(entry), entry.name);
    // Not both: the copy goes again, and the entry stays as it was.
    if (deleted != kErrorSuccess) system.DeleteValue(toRoot, toView, toKey, entry.name);
    return Result(system, deleted);
}

ChangeResult MoveShortcut(AutostartSystem& system, const StartupEntry& entry) {
    const std::wstring startup = system.Folder(StartupFolderOf(entry.place));
    const std::wstring toFolder = entry.movedAside ? startup : OwnDisabledFolder(startup);
    const std::wstring to = InFolder(toFolder, entry.name);
    if (system.IsFile(to)) return {kErrorAlreadyExists, "同名的启动项已存在。"};
    return Result(system, system.MoveFileTo(entry.file, to));
}

ChangeResult WriteApproval(AutostartSystem& system, const StartupEntry& entry, bool disable) {
    const std::optional<ApprovalKey> key = ApprovalKeyFor(entry.place, system.Is64BitSystem());
    if (!key) return {kErrorFileNotFound, system.ErrorText(kErrorFileNotFound)};
    RegistryValue before;
    if (system.ReadValue(key->root, key->view, key->key, entry.name, before) != kErrorSuccess) before.bytes.clear();
    RegistryValue approval{entry.name, kRegBinary,
                           disable ? DisablingApproval(before.bytes, system.Now()) : EnablingApproval(before.bytes)};
    return Result(system, system.WriteValue(key->root, key->view, key->key, approval));
}

// What 删除 does to a Winlogon value: Windows' default goes back in, since
// a logon without Shell or Userinit fails.
RegistryValue WinlogonDefault(AutostartSystem& system, const StartupEntry& entry) {
    if (entry.name == L"Shell") return StringValue(entry.name, L"explorer.exe");
    return StringValue(entry.name, system.Folder(SystemFolder::System) + L"\\userinit.exe,");
}

}  // namespace

std::vector<StartupEntry> ListStartupEntries(const ListingContext& context) {
    std::vector<StartupEntry> entries;
    std::vector<StartupPlace> places;
    for (const PlaceKind kind : {PlaceKind::Run, PlaceKind::RunOnce}) {
        places.push_back({kind, RegistryRoot::CurrentUser, RegistryView::Native});
        for (const RegistryView view : MachineViews(context.system.Is64BitSystem())) {
            places.push_back({kind, RegistryRoot::LocalMachine, view});
        }
    }
    for (const StartupPlace& place : places) AddRegistryPlace(context, place, entries);
    for (const RegistryRoot root : {RegistryRoot::CurrentUser, RegistryRoot::LocalMachine}) {
        AddFolderPlace(context, {PlaceKind::StartupFolder, root, RegistryView::Native}, entries);
    }
    AddWinlogon(context, entries);
    AddImageOptions(context, entries);
    return entries;
}

bool CanToggle(const StartupEntry& entry) {
    return entry.place.kind != PlaceKind::Winlogon && entry.place.kind != PlaceKind::ImageOptions;
}

bool IsDisabled(const StartupEntry& entry) { return entry.movedAside || entry.disabledByApproval; }

ChangeResult ToggleEntry(AutostartSystem& system, const StartupEntry& entry) {
    if (!CanToggle(entry)) return {kErrorAccessDenied, "该启动项只能删除。"};
    const bool folder = entry.place.kind == PlaceKind::StartupFolder;
    // Back the way it went: a mark is taken off, a moved entry moves back.
    if (entry.disabledByApproval) return WriteApproval(system, entry, false);
    if (entry.movedAside) return folder ? MoveShortcut(system, entry) : MoveValue(system, entry);
    if (DisableWayFor(entry.place.kind, system.Version()) == DisableWay::StartupApproved) {
        return WriteApproval(system, entry, true);
    }
    return folder ? MoveShortcut(system, entry) : MoveValue(system, entry);
}

RemovalOutcome RemoveEntry(AutostartSystem& system, const StartupEntry& entry, MessagePrompt& prompt,
                           const LogWriter& writeLog, ChangeResult& result) {
    if (!prompt.AskYesNo(RemovalQuestion(system.Text(entry.name)), "提示")) return RemovalOutcome::Declined;
    const bool folder = entry.place.kind == PlaceKind::StartupFolder;
    std::wstring place = PlaceInFull(entry.place, system.Folder(StartupFolderOf(entry.place)));
    if (entry.place.kind == PlaceKind::ImageOptions) place += L"\\" + entry.name;
    const std::string typeName = folder ? "文件" : ValueTypeName(entry.value.type);
    const std::wstring what = folder ? entry.file + L" -> " + entry.command : entry.command;
    LocalTime time;
    system.ToLocalTime(system.Now(), time);
    const std::wstring name = entry.place.kind == PlaceKind::ImageOptions ? L"Debugger" : entry.name;
    if (!writeLog(StartupRemovalLogLine(system.Text(place), system.Text(name), typeName, system.Text(what), time))) {
        prompt.Notify("无法写入拦截记录，启动项没有删除。", "提示");
        result = {kErrorAccessDenied, "无法写入拦截记录。"};
        return RemovalOutcome::LogFailed;
    }
    long status = kErrorSuccess;
    if (folder) {
        status = system.DeleteFileAt(entry.file);
    } else if (entry.place.kind == PlaceKind::Winlogon) {
        status = system.WriteValue(entry.place.root, entry.place.view, kWinlogonKey, WinlogonDefault(system, entry));
    } else {
        status = system.DeleteValue(CurrentRootOf(entry), CurrentViewOf(entry), CurrentKeyOf(entry), name);
    }
    result = Result(system, status);
    return result.ok() ? RemovalOutcome::Removed : RemovalOutcome::Failed;
}
