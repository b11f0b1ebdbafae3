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

// Where the place's disabled startup items go: the data of the same users.
SystemFolder DataFolderOf(const StartupPlace& place) {
    return place.root == RegistryRoot::CurrentUser ? SystemFolder::UserLocalData : SystemFolder::CommonData;
}

// A listing's context with the facts every entry is judged by, read once:
// each read may ask the system again.
struct Listing {
    AutostartSystem& system;
    const std::function<bool(const std::wstring& programPath)>& isDangerous;
    std::wstring windows;
    std::vector<std::wstring> temporary;
    CommandLookups lookups;
};

Listing ListingOf(const ListingContext& context) {
    AutostartSystem& system = context.system;
    Listing listing{system, context.isDangerous, system.Folder(SystemFolder::Windows), {}, system.Lookups()};
    listing.temporary = {system.Folder(SystemFolder::Temporary)};
    if (!listing.windows.empty()) listing.temporary.push_back(listing.windows + L"\\Temp");
    listing.temporary.erase(std::remove(listing.temporary.begin(), listing.temporary.end(), std::wstring()),
                            listing.temporary.end());
    return listing;
}

// The marks, texts and program of an entry whose place, name and command are read.
// The program is read from started (the command, unless said otherwise).
void Complete(const Listing& context, StartupEntry& entry, bool readableCommand,
              const std::wstring* started = nullptr) {
    AutostartSystem& system = context.system;
    if (readableCommand) entry.program = ProgramOfCommand(started ? *started : entry.command, context.lookups);
    const std::wstring& windows = context.windows;
    const std::vector<std::wstring>& temporary = context.temporary;
    entry.marks.missing = !entry.program.found;
    entry.marks.suspicious =
        entry.program.found &&
        (IsSuspiciousProgramFile(entry.program.program, windows, temporary) ||
         (system.IsFile(entry.program.host) && IsSuspiciousProgramFile(entry.program.host, windows, temporary)));
    entry.marks.dangerous =
        !entry.program.program.empty() && context.isDangerous && context.isDangerous(entry.program.program);
    entry.marks.disabled = IsDisabled(entry);
    entry.placeText = PlaceText(entry.place);
    // A service says what it is by its display name, a task by its description.
    if (entry.place.kind == PlaceKind::Service) {
        entry.description = system.Text(entry.service.displayName);
        entry.status = ServiceStatusText(entry.marks, entry.service.running);
        return;
    }
    if (entry.place.kind == PlaceKind::Task) {
        entry.description = system.Text(CutDescription(entry.task.definition.description, kTaskDescriptionCharacters));
        entry.status = TaskStatusText(entry.marks, entry.task.definition.triggers);
        if (!entry.task.workingDirectory.empty()) {
            entry.details = WorkingFolderText(system.Text(entry.task.workingDirectory));
        }
        return;
    }
    if (entry.program.found) entry.description = DescriptionText(system.ReadVersion(entry.program.program));
    entry.status = StatusText(entry.marks);
}

bool ApprovalDisables(AutostartSystem& system, const StartupPlace& place, const std::wstring& name) {
    const std::optional<ApprovalKey> key = ApprovalKeyFor(place, system.Is64BitSystem());
    RegistryValue approval;
    return key && system.ReadValue(key->root, key->view, key->key, name, approval) == kErrorSuccess &&
           IsDisabledByApproval(approval.bytes);
}

void AddRegistryPlace(const Listing& context, const StartupPlace& place, std::vector<StartupEntry>& entries) {
    AutostartSystem& system = context.system;
    const auto add = [&](const ValueLocation& at, bool movedAside) {
        std::vector<RegistryValue> values;
        if (system.ListValues(at.root, at.view, at.key, values) != kErrorSuccess) return;
        for (const RegistryValue& value : values) {
            StartupEntry entry;
            entry.place = place;
            entry.name = value.name;
            entry.value = value;
            entry.at = at;
            entry.command = CommandTextOf(value);
            entry.movedAside = movedAside;
            entry.disabledByApproval = !movedAside && ApprovalDisables(system, place, value.name);
            Complete(context, entry, IsTextValue(value));
            entries.push_back(std::move(entry));
        }
    };
    add({place.root, place.view, RegistryKeyOf(place)}, false);
    const ValueLocation aside = OwnDisabledLocation(place, system.Is64BitSystem());
    add(aside, true);
    // A machine entry an earlier version moved to HKCU is still enabled from there.
    const ValueLocation earlier = EarlierDisabledLocation(place);
    if (!(earlier == aside)) add(earlier, true);
}

void AddFolderPlace(const Listing& context, const StartupPlace& place, std::vector<StartupEntry>& entries) {
    AutostartSystem& system = context.system;
    const std::wstring startup = system.Folder(StartupFolderOf(place));
    if (startup.empty()) return;
    const std::wstring data = system.Folder(DataFolderOf(place));
    std::vector<std::pair<std::wstring, bool>> folders = {{startup, false}, {EarlierDisabledFolder(startup), true}};
    if (!data.empty()) folders.emplace_back(OwnDisabledFolder(data), true);
    for (const auto& [folder, movedAside] : folders) {
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

void AddWinlogon(const Listing& context, std::vector<StartupEntry>& entries) {
    AutostartSystem& system = context.system;
    const StartupPlace place{PlaceKind::Winlogon, RegistryRoot::LocalMachine,
                             system.Is64BitSystem() ? RegistryView::Key64 : RegistryView::Native};
    const std::wstring& windows = context.windows;
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
        entry.at = {place.root, place.view, kWinlogonKey};
        entry.command = text;
        Complete(context, entry, IsTextValue(value), &started);
        entries.push_back(std::move(entry));
    }
}

void AddImageOptions(const Listing& context, std::vector<StartupEntry>& entries) {
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
            entry.at = {place.root, view, key};
            entry.command = CommandTextOf(value);
            Complete(context, entry, IsTextValue(value));
            entries.push_back(std::move(entry));
        }
    }
}

ChangeResult Result(AutostartSystem& system, long status) {
    return {status, status == kErrorSuccess ? std::string() : system.ErrorText(status), std::string()};
}

ValueLocation SavedStartLocation(AutostartSystem& system, const std::wstring& serviceName) {
    return {RegistryRoot::LocalMachine, system.Is64BitSystem() ? RegistryView::Key64 : RegistryView::Native,
            SavedServiceStartKey(serviceName)};
}

std::optional<ServiceStart> SavedStart(AutostartSystem& system, const std::wstring& serviceName) {
    const ValueLocation at = SavedStartLocation(system, serviceName);
    std::vector<RegistryValue> values;
    if (system.ListValues(at.root, at.view, at.key, values) != kErrorSuccess) return std::nullopt;
    return SavedStartFrom(values);
}

void AddServices(const Listing& context, std::vector<StartupEntry>& entries) {
    AutostartSystem& system = context.system;
    std::vector<ServiceRecord> services;
    if (system.ListServices(services) != kErrorSuccess) return;
    const StartupPlace place{PlaceKind::Service, RegistryRoot::LocalMachine, RegistryView::Native};
    for (ServiceRecord& service : services) {
        if (!ListsService(service.start, SavedStart(system, service.name).has_value())) continue;
        // A shared host runs the code of the library its service names.
        std::wstring serviceDll;
        RegistryValue dll;
        if (IsSharedServiceHost(service.binaryPath) &&
            system.ReadValue(place.root, place.view, ServiceParametersKey(service.name), L"ServiceDll", dll) ==
                kErrorSuccess &&
            IsTextValue(dll)) {
            serviceDll = CommandTextOf(dll);
        }
        StartupEntry entry;
        entry.place = place;
        entry.name = service.name;
        entry.command = ServiceCommand(service.binaryPath, serviceDll);
        entry.service = std::move(service);
        Complete(context, entry, true);
        entries.push_back(std::move(entry));
    }
}

// The server file a COM class names: the first of the user's and the
// machine's registrations (the 64-bit ones on a 64-bit system, where the
// Task Scheduler runs its handlers).
std::wstring ComServerCommand(AutostartSystem& system, const std::wstring& classId) {
    const RegistryView view = system.Is64BitSystem() ? RegistryView::Key64 : RegistryView::Native;
    for (const std::wstring& key : ComServerKeys(classId)) {
        for (const RegistryRoot root : {RegistryRoot::CurrentUser, RegistryRoot::LocalMachine}) {
            RegistryValue server;
            if (system.ReadValue(root, view, key, L"", server) == kErrorSuccess && IsTextValue(server)) {
                std::wstring command = CommandTextOf(server);
                if (!command.empty()) return command;
            }
        }
    }
    return std::wstring();
}

void AddTaskActions(const Listing& context, const TaskText& task, const std::optional<XmlEncoding>& file,
                    std::vector<StartupEntry>& entries) {
    AutostartSystem& system = context.system;
    const std::optional<TaskDefinition> definition = ReadTaskDefinition(task.xml);
    if (!definition) return;
    const CommandLookups& lookups = context.lookups;
    for (const TaskAction& action : definition->actions) {
        if (action.kind == TaskActionKind::Other) continue;
        StartupEntry entry;
        entry.place = {PlaceKind::Task, RegistryRoot::LocalMachine, RegistryView::Native};
        entry.name = task.path;
        entry.task.xml = task.xml;
        entry.task.fromFiles = file.has_value();
        entry.task.fileEncoding = file.value_or(XmlEncoding::Utf16Little);
        entry.task.definition = *definition;
        // The scheduler expands the variables of what it starts.
        if (action.kind == TaskActionKind::Exec) {
            entry.command = ExpandEnvironmentText(TaskActionCommand(action), lookups);
            entry.task.workingDirectory = ExpandEnvironmentText(action.workingDirectory, lookups);
        } else {
            entry.command = ComServerCommand(system, action.classId);
        }
        Complete(context, entry, !entry.command.empty());
        entries.push_back(std::move(entry));
    }
}

void AddTasks(const Listing& context, std::vector<StartupEntry>& entries) {
    AutostartSystem& system = context.system;
    // Systems before Vista have no Task Scheduler 2.0.
    if (system.Version().major < 6) return;
    std::vector<TaskText> tasks;
    size_t refused = 0;
    const TaskSource source = ChooseTaskSource(system.ListScheduledTasks(tasks, refused));
    if (source == TaskSource::None) return;
    if (source == TaskSource::Scheduler) {
        for (const TaskText& task : tasks) AddTaskActions(context, task, std::nullopt, entries);
    } else {
        std::vector<TaskFile> files;
        if (system.ReadTaskFiles(files, refused) != kErrorSuccess) return;
        for (const TaskFile& file : files) {
            const std::optional<std::wstring> xml = DecodeXmlBytes(file.bytes);
            if (xml)
                AddTaskActions(context, {TaskPathOfFile(file.relativePath), *xml}, EncodingOf(file.bytes), entries);
        }
    }
    if (refused == 0) return;
    StartupEntry note;
    note.place = {PlaceKind::Task, RegistryRoot::LocalMachine, RegistryView::Native};
    note.noteOnly = true;
    note.placeText = PlaceText(note.place);
    note.description = RefusedTasksText(refused);
    entries.push_back(std::move(note));
}

ChangeResult ToggleTask(AutostartSystem& system, const StartupEntry& entry) {
    const bool enable = IsDisabled(entry);
    if (!entry.task.fromFiles) return Result(system, system.SetTaskEnabled(entry.name, enable));
    const std::optional<std::wstring> changed = TaskXmlWithEnabled(entry.task.xml, enable);
    if (!changed) return {kErrorFileNotFound, "无法读取该计划任务的定义。", std::string()};
    const long registered = system.RegisterTaskAgain(entry.name, *changed);
    if (registered != kErrorSuccess) return Result(system, registered);
    return Result(system, system.WriteTaskFile(entry.name, EncodeXml(*changed, entry.task.fileEncoding)));
}

RemovalOutcome RemoveTask(AutostartSystem& system, const StartupEntry& entry, MessagePrompt& prompt,
                          const LogWriter& writeLog, ChangeResult& result) {
    if (!prompt.AskYesNo(TaskRemovalQuestion(system.Text(entry.name)), "提示")) return RemovalOutcome::Declined;
    LocalTime time;
    system.ToLocalTime(system.Now(), time);
    const auto logText = [&system](const std::wstring& text) {
        return system.Text(EscapeForLog(text, [&system](char32_t c) { return system.InTextCodePage(c); }));
    };
    if (!writeLog(TaskRemovalLogLine(logText(entry.name), logText(entry.task.xml), time))) {
        prompt.Notify("无法写入拦截记录，计划任务没有删除。", "提示");
        result = {kErrorAccessDenied, "无法写入拦截记录。", std::string()};
        return RemovalOutcome::LogFailed;
    }
    result = Result(system, system.DeleteScheduledTask(entry.name));
    return result.ok() ? RemovalOutcome::Removed : RemovalOutcome::Failed;
}

const char* const kStillRunningNotice = "已禁用，服务仍在运行，下次启动时不再自动启动。";

// The start type goes to disabled, the earlier one kept first (a service
// disabled without it could not be given back); enabling gives that back.
ChangeResult ToggleService(AutostartSystem& system, const StartupEntry& entry) {
    const ValueLocation saved = SavedStartLocation(system, entry.name);
    if (IsDisabled(entry)) {
        const std::optional<ServiceStart> start = SavedStart(system, entry.name);
        if (!start) return Result(system, kErrorFileNotFound);
        const long changed = system.ChangeServiceStart(entry.name, *start);
        if (changed == kErrorSuccess) system.DeleteKey(saved.root, saved.view, saved.key);
        return Result(system, changed);
    }
    ServiceRecord now;
    const long read = system.ReadService(entry.name, now);
    if (read != kErrorSuccess) return Result(system, read);
    for (const RegistryValue& value : SavedStartValues(now.start)) {
        const long written = system.WriteValue(saved.root, saved.view, saved.key, value);
        if (written != kErrorSuccess) return Result(system, written);
    }
    const long changed = system.ChangeServiceStart(entry.name, {kServiceDisabled, false});
    if (changed != kErrorSuccess) {
        system.DeleteKey(saved.root, saved.view, saved.key);
        return Result(system, changed);
    }
    ChangeResult result = Result(system, changed);
    if (now.running) result.notice = kStillRunningNotice;
    return result;
}

RemovalOutcome RemoveService(AutostartSystem& system, const StartupEntry& entry, MessagePrompt& prompt,
                             const LogWriter& writeLog, ChangeResult& result) {
    if (!prompt.AskYesNo(ServiceRemovalQuestion(system.Text(entry.name)), "提示")) return RemovalOutcome::Declined;
    // Only what can be removed is logged as removed.
    const long opened = system.OpenServiceForDelete(entry.name);
    if (opened != kErrorSuccess) {
        result = Result(system, opened);
        return RemovalOutcome::Failed;
    }
    ServiceRecord now;
    const long read = system.ReadService(entry.name, now);
    if (read != kErrorSuccess) {
        result = Result(system, read);
        return RemovalOutcome::Failed;
    }
    // One this program disabled is made again with the start it had.
    const std::optional<ServiceStart> saved = SavedStart(system, entry.name);
    const ServiceStart start = now.start.type == kServiceDisabled && saved ? *saved : now.start;
    LocalTime time;
    system.ToLocalTime(system.Now(), time);
    const auto logText = [&system](const std::wstring& text) {
        return system.Text(EscapeForLog(text, [&system](char32_t c) { return system.InTextCodePage(c); }));
    };
    if (!writeLog(ServiceRemovalLogLine(logText(now.name), logText(now.displayName), logText(now.binaryPath),
                                        ServiceStartText(start), logText(now.account), time))) {
        prompt.Notify("无法写入拦截记录，服务没有删除。", "提示");
        result = {kErrorAccessDenied, "无法写入拦截记录。", std::string()};
        return RemovalOutcome::LogFailed;
    }
    result = Result(system, system.StopAndDeleteService(entry.name));
    if (!result.ok()) return RemovalOutcome::Failed;
    const ValueLocation kept = SavedStartLocation(system, entry.name);
    system.DeleteKey(kept.root, kept.view, kept.key);
    return RemovalOutcome::Removed;
}

// Moves a registry value between its place and this program's own key, with
// its type and bytes; a value of that name at the target is never overwritten.
ChangeResult MoveValue(AutostartSystem& system, const StartupEntry& entry) {
    const ValueLocation to = entry.movedAside
                                 ? ValueLocation{entry.place.root, entry.place.view, RegistryKeyOf(entry.place)}
                                 : OwnDisabledLocation(entry.place, system.Is64BitSystem());
    RegistryValue existing;
    if (system.ReadValue(to.root, to.view, to.key, entry.name, existing) == kErrorSuccess) {
        return {kErrorAlreadyExists, "同名的启动项已存在。", std::string()};
    }
    const long written = system.WriteValue(to.root, to.view, to.key, entry.value);
    if (written != kErrorSuccess) return Result(system, written);
    const long deleted = system.DeleteValue(entry.at.root, entry.at.view, entry.at.key, entry.name);
    // Not both: the copy goes again, and the entry stays as it was.
    if (deleted != kErrorSuccess) system.DeleteValue(to.root, to.view, to.key, entry.name);
    return Result(system, deleted);
}

ChangeResult MoveShortcut(AutostartSystem& system, const StartupEntry& entry) {
    const std::wstring data = system.Folder(DataFolderOf(entry.place));
    if (!entry.movedAside && data.empty()) return Result(system, kErrorFileNotFound);
    const std::wstring toFolder =
        entry.movedAside ? system.Folder(StartupFolderOf(entry.place)) : OwnDisabledFolder(data);
    const std::wstring to = InFolder(toFolder, entry.name);
    if (system.IsFile(to)) return {kErrorAlreadyExists, "同名的启动项已存在。", std::string()};
    return Result(system, system.MoveFileTo(entry.file, to));
}

ChangeResult WriteApproval(AutostartSystem& system, const StartupEntry& entry, bool disable) {
    const std::optional<ApprovalKey> key = ApprovalKeyFor(entry.place, system.Is64BitSystem());
    if (!key) return {kErrorFileNotFound, system.ErrorText(kErrorFileNotFound), std::string()};
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

std::vector<StartupEntry> ListStartupEntries(const ListingContext& listingContext) {
    const Listing context = ListingOf(listingContext);
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
    AddServices(context, entries);
    AddTasks(context, entries);
    return entries;
}

bool CanToggle(const StartupEntry& entry) {
    return !entry.noteOnly && entry.place.kind != PlaceKind::Winlogon && entry.place.kind != PlaceKind::ImageOptions;
}

bool CanRemove(const StartupEntry& entry) { return !entry.noteOnly; }

bool IsDisabled(const StartupEntry& entry) {
    if (entry.place.kind == PlaceKind::Service) return entry.service.start.type == kServiceDisabled;
    if (entry.place.kind == PlaceKind::Task) return !entry.task.definition.enabled;
    return entry.movedAside || entry.disabledByApproval;
}

ChangeResult ToggleEntry(AutostartSystem& system, const StartupEntry& entry) {
    if (!CanToggle(entry)) return {kErrorAccessDenied, "该启动项只能删除。", std::string()};
    if (entry.place.kind == PlaceKind::Service) return ToggleService(system, entry);
    if (entry.place.kind == PlaceKind::Task) return ToggleTask(system, entry);
    const bool folder = entry.place.kind == PlaceKind::StartupFolder;
    // Back the way it went: a mark is taken off, a moved entry moves back.
    if (entry.disabledByApproval) return WriteApproval(system, entry, false);
    if (entry.movedAside) return folder ? MoveShortcut(system, entry) : MoveValue(system, entry);
    if (DisableWayFor(entry.place.kind, system.Version()) == DisableWay::StartupApproved) {
        return WriteApproval(system, entry, true);
    }
    return folder ? MoveShortcut(system, entry) : MoveValue(system, entry);
}

namespace {

// The entry as it is now, for the log: its value (a shortcut's target) read
// again; false when it is gone.
bool ReadAgain(AutostartSystem& system, const StartupEntry& entry, const std::wstring& valueName, StartupEntry& now) {
    now = entry;
    if (entry.place.kind != PlaceKind::StartupFolder) {
        if (system.ReadValue(entry.at.root, entry.at.view, entry.at.key, valueName, now.value) != kErrorSuccess) {
            return false;
        }
        now.command = CommandTextOf(now.value);
        return true;
    }
    if (!system.IsFile(entry.file)) return false;
    ShortcutTarget target;
    if (IsShortcutFile(entry.name) && system.ReadShortcut(entry.file, target) && !target.path.empty()) {
        now.command = L"\"" + target.path + L"\"";
        if (!target.arguments.empty()) now.command += L" " + target.arguments;
    }
    return true;
}

}  // namespace

RemovalOutcome RemoveEntry(AutostartSystem& system, const StartupEntry& entry, MessagePrompt& prompt,
                           const LogWriter& writeLog, ChangeResult& result) {
    if (!CanRemove(entry)) return RemovalOutcome::Declined;
    if (entry.place.kind == PlaceKind::Service) return RemoveService(system, entry, prompt, writeLog, result);
    if (entry.place.kind == PlaceKind::Task) return RemoveTask(system, entry, prompt, writeLog, result);
    const bool folder = entry.place.kind == PlaceKind::StartupFolder;
    const bool program = folder && !IsShortcutFile(entry.name);
    if (!prompt.AskYesNo(RemovalQuestion(system.Text(entry.name), program), "提示")) return RemovalOutcome::Declined;
    // Only what can be removed is logged as removed.
    const long opened = folder ? system.OpenFileForDelete(entry.file)
                               : system.OpenKeyForChange(entry.at.root, entry.at.view, entry.at.key);
    if (opened != kErrorSuccess) {
        result = Result(system, opened);
        return RemovalOutcome::Failed;
    }
    const std::wstring name = entry.place.kind == PlaceKind::ImageOptions ? L"Debugger" : entry.name;
    StartupEntry now;
    if (!ReadAgain(system, entry, name, now)) {
        result = Result(system, kErrorFileNotFound);
        return RemovalOutcome::Failed;
    }
    std::wstring place = PlaceInFull(entry.place, system.Folder(StartupFolderOf(entry.place)));
    if (entry.place.kind == PlaceKind::ImageOptions) place += L"\\" + entry.name;
    const std::string typeName = !folder ? ValueTypeName(now.value.type) : program ? "文件（移到回收站）" : "文件";
    const std::wstring what = folder ? entry.file + L" -> " + now.command : now.command;
    LocalTime time;
    system.ToLocalTime(system.Now(), time);
    const auto logText = [&system](const std::wstring& text) {
        return system.Text(EscapeForLog(text, [&system](char32_t c) { return system.InTextCodePage(c); }));
    };
    if (!writeLog(StartupRemovalLogLine(logText(place), logText(name), typeName, logText(what), time))) {
        prompt.Notify("无法写入拦截记录，启动项没有删除。", "提示");
        result = {kErrorAccessDenied, "无法写入拦截记录。", std::string()};
        return RemovalOutcome::LogFailed;
    }
    long status = kErrorSuccess;
    if (program) {
        status = system.RecycleFile(entry.file);
    } else if (folder) {
        status = system.DeleteFileAt(entry.file);
    } else if (entry.place.kind == PlaceKind::Winlogon) {
        status = system.WriteValue(entry.at.root, entry.at.view, entry.at.key, WinlogonDefault(system, entry));
    } else {
        status = system.DeleteValue(entry.at.root, entry.at.view, entry.at.key, name);
    }
    result = Result(system, status);
    return result.ok() ? RemovalOutcome::Removed : RemovalOutcome::Failed;
}
