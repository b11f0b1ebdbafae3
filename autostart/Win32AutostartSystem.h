// The startup entries' seam over the real registry, file system and shell.
#pragma once

#include "autostart/StartupEntries.h"

class Win32AutostartSystem : public AutostartSystem {
public:
    long ListValues(RegistryRoot root, RegistryView view, const std::wstring& key,
                    std::vector<RegistryValue>& values) override;
    long ListSubkeys(RegistryRoot root, RegistryView view, const std::wstring& key,
                     std::vector<std::wstring>& subkeys) override;
    long ReadValue(RegistryRoot root, RegistryView view, const std::wstring& key, const std::wstring& name,
                   RegistryValue& value) override;
    long WriteValue(RegistryRoot root, RegistryView view, const std::wstring& key, const RegistryValue& value) override;
    long DeleteValue(RegistryRoot root, RegistryView view, const std::wstring& key, const std::wstring& name) override;
    long OpenKeyForChange(RegistryRoot root, RegistryView view, const std::wstring& key) override;
    long DeleteKey(RegistryRoot root, RegistryView view, const std::wstring& key) override;
    bool Is64BitSystem() override;
    // RtlGetVersion: the system's own version, whatever the manifest says.
    WindowsVersion Version() override;
    uint64_t Now() override;
    bool ToLocalTime(uint64_t moment, LocalTime& local) override;
    std::wstring Folder(SystemFolder folder) override;
    std::vector<std::wstring> FilesIn(const std::wstring& folder) override;
    bool IsFile(const std::wstring& path) override;
    // Through the shell's link object (IShellLinkW), without resolving: reading
    // changes nothing. The thread must have COM started.
    bool ReadShortcut(const std::wstring& path, ShortcutTarget& target) override;
    long MoveFileTo(const std::wstring& from, const std::wstring& to) override;
    long DeleteFileAt(const std::wstring& path) override;
    long OpenFileForDelete(const std::wstring& path) override;
    // SHFileOperationW with FOF_ALLOWUNDO; where the file cannot be recycled
    // the shell asks before it deletes it for good.
    long RecycleFile(const std::wstring& path) override;
    CommandLookups Lookups() override;
    ProgramVersion ReadVersion(const std::wstring& path) override;
    std::string Text(const std::wstring& wide) override;
    bool InTextCodePage(char32_t character) override;
    std::string ProgramAccount() override;
    // The user of the shell's process (GetShellWindow's).
    std::string DesktopAccount() override;
    std::string ErrorText(long status) override;
    long ListServices(std::vector<ServiceRecord>& services) override;
    long ReadService(const std::wstring& name, ServiceRecord& service) override;
    long ChangeServiceStart(const std::wstring& name, const ServiceStart& start) override;
    long OpenServiceForDelete(const std::wstring& name) override;
    // Waits a few seconds for the service to stop; one that does not is
    // deleted all the same (the system removes it once it has stopped).
    long StopAndDeleteService(const std::wstring& name) override;
    // Through ITaskService (CoCreateInstance; oleaut32's strings loaded from
    // the system folder). Each call starts COM on its thread where it is not yet.
    long ListScheduledTasks(std::vector<TaskText>& tasks, size_t& refused) override;
    // Of the 64-bit Task Scheduler's folder, also from a 32-bit copy.
    long ReadTaskFiles(std::vector<TaskFile>& files, size_t& refused) override;
    // Replaced through a file beside it (ReplaceFileW keeps the file's security).
    long WriteTaskFile(const std::wstring& relativePath, const std::vector<uint8_t>& bytes) override;
    long SetTaskEnabled(const std::wstring& path, bool enabled) override;
    long RegisterTaskAgain(const std::wstring& path, const std::wstring& xml) override;
    long DeleteScheduledTask(const std::wstring& path) override;
};

// The registry access flag of a view (KEY_WOW64_64KEY, KEY_WOW64_32KEY, none).
unsigned long ViewAccess(RegistryView view);
