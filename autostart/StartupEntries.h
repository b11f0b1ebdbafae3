// The startup entries: the seam over the registry and the shell, the listing
// of every place, and the changes (disable, enable, remove) as plain flows,
// so that they run the same over the real system and over a test's fakes.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "autostart/AutostartRules.h"
#include "autostart/ServiceRules.h"
#include "autostart/TaskRules.h"
#include "autostart/TaskXml.h"
#include "process/MessagePrompt.h"

enum class SystemFolder {
    UserStartup,
    CommonStartup,
    Windows,
    System,
    Temporary,
    UserLocalData,  // the user's local application data
    CommonData,     // the all-users' application data
};

struct ShortcutTarget {
    std::wstring path;  // empty when the shortcut names nothing
    std::wstring arguments;
};

class AutostartSystem {
public:
    virtual ~AutostartSystem() = default;

    // Registry calls answer with the system's status (kErrorSuccess, ...).
    virtual long ListValues(RegistryRoot root, RegistryView view, const std::wstring& key,
                            std::vector<RegistryValue>& values) = 0;
    virtual long ListSubkeys(RegistryRoot root, RegistryView view, const std::wstring& key,
                             std::vector<std::wstring>& subkeys) = 0;
    virtual long ReadValue(RegistryRoot root, RegistryView view, const std::wstring& key, const std::wstring& name,
                           RegistryValue& value) = 0;
    // Makes the key where it is missing.
    virtual long WriteValue(RegistryRoot root, RegistryView view, const std::wstring& key,
                            const RegistryValue& value) = 0;
    virtual long DeleteValue(RegistryRoot root, RegistryView view, const std::wstring& key,
                             const std::wstring& name) = 0;
    // Whether the key opens for changing its values (KEY_SET_VALUE).
    virtual long OpenKeyForChange(RegistryRoot root, RegistryView view, const std::wstring& key) = 0;
    // Deletes the key, which holds no subkeys.
    virtual long DeleteKey(RegistryRoot root, RegistryView view, const std::wstring& key) = 0;

    virtual bool Is64BitSystem() = 0;
    virtual WindowsVersion Version() = 0;
    // The current moment as a FILETIME (100-ns units since 1601, UTC).
    virtual uint64_t Now() = 0;
    virtual bool ToLocalTime(uint64_t moment, LocalTime& local) = 0;

    // Empty when the system has no such folder.
    virtual std::wstring Folder(SystemFolder folder) = 0;
    // The names of the files (not folders) in folder; none when it cannot be read.
    virtual std::vector<std::wstring> FilesIn(const std::wstring& folder) = 0;
    virtual bool IsFile(const std::wstring& path) = 0;
    // What a shortcut file (.lnk) starts; false when it cannot be read.
    virtual bool ReadShortcut(const std::wstring& path, ShortcutTarget& target) = 0;
    // Moves a file, making the target's folder where it is missing.
    virtual long MoveFileTo(const std::wstring& from, const std::wstring& to) = 0;
    virtual long DeleteFileAt(const std::wstring& path) = 0;
    // Whether the file opens for deletion (DELETE).
    virtual long OpenFileForDelete(const std::wstring& path) = 0;
    // Moves the file to the recycle bin; never deletes it for good unasked.
    virtual long RecycleFile(const std::wstring& path) = 0;

    virtual CommandLookups Lookups() = 0;
    // The program file's description and company.
    virtual ProgramVersion ReadVersion(const std::wstring& path) = 0;
    // Code page 936 text of a path or name, for the columns and the log.
    virtual std::string Text(const std::wstring& wide) = 0;
    // Whether code page 936 has the character (a code point).
    virtual bool InTextCodePage(char32_t character) = 0;
    // "DOMAIN\user" of this program's token and of the desktop's (the shell's)
    // process, code page 936; empty where it cannot be read.
    virtual std::string ProgramAccount() = 0;
    virtual std::string DesktopAccount() = 0;
    // The system's reason for a status, code page 936.
    virtual std::string ErrorText(long status) = 0;

    // Services, through the Service Control Manager: every Win32 service (own
    // process or shared) with its configuration, or one by its name. A delayed
    // flag that cannot be read is not delayed.
    virtual long ListServices(std::vector<ServiceRecord>& services) = 0;
    virtual long ReadService(const std::wstring& name, ServiceRecord& service) = 0;
    // Sets the start type, and for an automatic start the delayed flag.
    virtual long ChangeServiceStart(const std::wstring& name, const ServiceStart& start) = 0;
    // Whether the service opens for stopping and deletion.
    virtual long OpenServiceForDelete(const std::wstring& name) = 0;
    // Asks a running service to stop, then deletes it.
    virtual long StopAndDeleteService(const std::wstring& name) = 0;

    // Scheduled tasks, through the Task Scheduler (Vista on): every registered
    // task of every folder with its definition; refused counts the folders
    // and tasks that could not be read for want of rights. Answers
    // kTaskListingNotImplemented where the scheduler cannot list tasks.
    virtual long ListScheduledTasks(std::vector<TaskText>& tasks, size_t& refused) = 0;
    // The definition files of the system's Tasks folder, every folder down.
    virtual long ReadTaskFiles(std::vector<TaskFile>& files, size_t& refused) = 0;
    // Replaces the definition file at its path below the Tasks folder.
    virtual long WriteTaskFile(const std::wstring& relativePath, const std::vector<uint8_t>& bytes) = 0;
    virtual long SetTaskEnabled(const std::wstring& path, bool enabled) = 0;
    // Registers the task at path anew from its definition, replacing it.
    virtual long RegisterTaskAgain(const std::wstring& path, const std::wstring& xml) = 0;
    virtual long DeleteScheduledTask(const std::wstring& path) = 0;
};

// What the entries keep of a scheduled task.
struct TaskFacts {
    std::wstring xml;                                     // the whole definition, as read
    bool fromFiles = false;                               // read from the Tasks folder: changed by registering it again
    XmlEncoding fileEncoding = XmlEncoding::Utf16Little;  // how its file held it
    TaskDefinition definition;
    std::wstring workingDirectory;  // the action's, expanded
};

struct StartupEntry {
    StartupPlace place;
    std::wstring name;        // value name, shortcut file name, IFEO key name
    std::wstring command;     // as it stands; a shortcut's target and arguments
    RegistryValue value;      // the registry value as read (registry places)
    ValueLocation at;         // where that value lies now (registry places)
    std::wstring file;        // the shortcut file, where it lies now (startup folders)
    bool movedAside = false;  // disabled by moving it to this program's place
    bool disabledByApproval = false;
    ServiceRecord service;  // the service's configuration (services)
    TaskFacts task;         // the task's definition (scheduled tasks)
    // A row that only says something (tasks that could not be read): nothing
    // can be done with it.
    bool noteOnly = false;
    CommandProgram program;
    EntryMarks marks;
    std::string placeText;    // 位置
    std::string description;  // 说明
    std::string status;       // 状态
    std::string details;      // what the details add (a task's working folder)
};

struct ListingContext {
    AutostartSystem& system;
    // Whether the block list names the program file (its name by the block
    // list's rule, or its recorded fingerprint).
    std::function<bool(const std::wstring& programPath)> isDangerous;
};

// Every entry of every place, each once: Run and RunOnce of HKCU and of each
// HKLM view, the two startup folders, Winlogon's Shell and Userinit where they
// differ from the default, IFEO Debugger values and the services that start
// automatically or that this program disabled; then the entries this program
// moved aside. A place that cannot be read is passed over; reading
// changes nothing.
std::vector<StartupEntry> ListStartupEntries(const ListingContext& context);

// Whether the entry can be disabled or enabled (Winlogon and IFEO cannot).
bool CanToggle(const StartupEntry& entry);
bool CanRemove(const StartupEntry& entry);
bool IsDisabled(const StartupEntry& entry);

// The outcome of a change: its status, and the system's reason when it failed.
struct ChangeResult {
    long status = kErrorSuccess;
    std::string reason;
    std::string notice;  // what a user should know of a change that succeeded
    bool ok() const { return status == kErrorSuccess; }
};

// Disables an enabled entry or enables a disabled one: StartupApproved marks
// from Windows 8 on; otherwise (and for RunOnce) the value moves to the own
// key in its own hive, with its type and bytes, or the startup item to the
// own folder, and back. A service is disabled by its start type, the earlier
// one kept first in this program's key (SavedServiceStartKey) and given back
// exactly on enabling; neither stops nor starts it. A task is changed by the
// Task Scheduler, or, where it was read from its file, registered again with
// its definition's Enabled changed and then its file written whole in the
// encoding it had: a scheduler that cannot list tasks also stores them
// without their triggers and actions, and its file is the task.
ChangeResult ToggleEntry(AutostartSystem& system, const StartupEntry& entry);

// Where the log line goes; false when it could not be written.
using LogWriter = std::function<bool(const std::string& line)>;

enum class RemovalOutcome { Declined, Removed, LogFailed, Failed };

// Asks RemovalQuestion (caption "提示", Yes/No). On Yes opens the entry's key
// for change (its file for deletion): where rights are lacking nothing is
// logged. Then reads the value (the shortcut) again and logs it as it is
// now (place, name, type and value in full, characters outside code page
// 936 escaped), and only then removes the entry; a program file goes to the
// recycle bin. A log that cannot be written stops the removal with a notice.
// A service is asked about with ServiceRemovalQuestion, logged with its
// configuration (the start kept by this program where it disabled it), then
// stopped and deleted. A task is asked about with TaskRemovalQuestion and
// logged with its whole definition before it is deleted.
RemovalOutcome RemoveEntry(AutostartSystem& system, const StartupEntry& entry, MessagePrompt& prompt,
                           const LogWriter& writeLog, ChangeResult& result);
