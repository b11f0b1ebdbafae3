// The scheduled tasks part of Win32AutostartSystem: the Task Scheduler's
// objects, and the definition files of the system's Tasks folder.
#include <windows.h>
#include <objbase.h>
#include <taskschd.h>

#include <vector>

#include "autostart/TaskXml.h"
#include "autostart/Win32AutostartSystem.h"
#include "autostart/Win32Owners.h"
#include "framework/Handle.h"
#include "framework/SystemFunction.h"

namespace {

const CLSID kTaskSchedulerClass = {0x0f87369f, 0xa4e5, 0x4cfc, {0xbd, 0x3e, 0x73, 0xe6, 0x15, 0x45, 0x72, 0xdd}};
const IID kTaskServiceInterface = {0x2faba4c7, 0x4da9, 0x4013, {0x96, 0x97, 0x20, 0xcc, 0x3f, 0xd4, 0x0f, 0x85}};

// Folders nest no deeper than this; deeper ones are passed over.
constexpr int kMaxTaskFolderDepth = 32;
// A definition file is a few kilobytes; larger ones are no task's.
constexpr LONGLONG kMaxTaskFileBytes = static_cast<LONGLONG>(kMaxXmlChars) * 2 + 4;

long StatusOf(HRESULT result) { return TaskStatusOf(static_cast<uint32_t>(result)); }

// The automation strings the scheduler's calls take and give, from
// oleaut32.dll of the system folder, which the program does not import.
class AutomationStrings {
public:
    AutomationStrings()
        : m_library(L"oleaut32.dll"),
          m_allocate(m_library.Find<Allocate>("SysAllocString")),
          m_free(m_library.Find<Free>("SysFreeString")) {}
    bool loaded() const { return m_allocate && m_free; }
    BSTR Make(const std::wstring& text) const { return m_allocate(text.c_str()); }
    void Release(BSTR text) const { m_free(text); }

private:
    using Allocate = BSTR(WINAPI*)(const OLECHAR*);
    using Free = void(WINAPI*)(BSTR);
    SystemLibrary m_library;
    Allocate m_allocate;
    Free m_free;
};

// A BSTR, freed with the object.
class OwnedString {
public:
    explicit OwnedString(const AutomationStrings& strings, BSTR text = nullptr) : m_strings(strings), m_text(text) {}
    ~OwnedString() {
        if (m_text) m_strings.Release(m_text);
    }
    OwnedString(const OwnedString&) = delete;
    OwnedString& operator=(const OwnedString&) = delete;
    BSTR get() const { return m_text; }
    BSTR* put() { return &m_text; }
    std::wstring text() const { return m_text ? std::wstring(m_text) : std::wstring(); }

private:
    const AutomationStrings& m_strings;
    BSTR m_text;
};

// COM on this thread for the object's lifetime, where it was not yet started.
class ComStarted {
public:
    ComStarted() : m_started(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
    ~ComStarted() {
        if (m_started) CoUninitialize();
    }
    ComStarted(const ComStarted&) = delete;
    ComStarted& operator=(const ComStarted&) = delete;

private:
    bool m_started;
};

VARIANT Empty() {
    VARIANT empty{};
    empty.vt = VT_EMPTY;
    return empty;
}

VARIANT Index(LONG index) {
    VARIANT number{};
    number.vt = VT_I4;
    number.lVal = index;
    return number;
}

// The Task Scheduler of this computer, connected as the current user, and its root folder.
class Scheduler {
public:
    Scheduler() {
        if (!m_strings.loaded()) {
            m_status = StatusOf(E_NOTIMPL);
            return;
        }
        HRESULT result = CoCreateInstance(kTaskSchedulerClass, nullptr, CLSCTX_INPROC_SERVER, kTaskServiceInterface,
                                          m_service.out());
        if (SUCCEEDED(result)) result = m_service->Connect(Empty(), Empty(), Empty(), Empty());
        if (SUCCEEDED(result)) {
            const OwnedString root(m_strings, m_strings.Make(L"\\"));
            result = root.get() ? m_service->GetFolder(root.get(), m_root.put()) : E_OUTOFMEMORY;
        }
        m_status = StatusOf(result);
    }
    long status() const { return m_status; }
    ITaskFolder* root() const { return m_root.get(); }
    const AutomationStrings& strings() const { return m_strings; }

private:
    ComStarted m_com;
    AutomationStrings m_strings;
    ComPointer<ITaskService> m_service;
    ComPointer<ITaskFolder> m_root;
    long m_status = kErrorSuccess;
};

// The tasks of folder and of every folder below it. A folder that cannot
// list its tasks ends the walk with that answer: its collection may be
// given and only its count or items not implemented.
long ListFolder(const Scheduler& scheduler, ITaskFolder* folder, int depth, std::vector<TaskText>& tasks,
                size_t& refused) {
    const AutomationStrings& strings = scheduler.strings();
    ComPointer<IRegisteredTaskCollection> registered;
    const HRESULT listed = folder->GetTasks(TASK_ENUM_HIDDEN, registered.put());
    if (listed == E_NOTIMPL) return kTaskListingNotImplemented;
    if (FAILED(listed)) {
        ++refused;
    } else {
        LONG count = 0;
        const HRESULT counted = registered->get_Count(&count);
        if (counted == E_NOTIMPL) return kTaskListingNotImplemented;
        if (FAILED(counted)) count = 0;
        for (LONG index = 1; index <= count; ++index) {
            ComPointer<IRegisteredTask> task;
            const HRESULT item = registered->get_Item(Index(index), task.put());
            if (item == E_NOTIMPL) return kTaskListingNotImplemented;
            if (FAILED(item)) {
                ++refused;
                continue;
            }
            OwnedString path(strings);
            OwnedString xml(strings);
            if (FAILED(task->get_Path(path.put())) || FAILED(task->get_Xml(xml.put()))) {
                ++refused;
                continue;
            }
            tasks.push_back({path.text(), xml.text()});
        }
    }
    if (depth >= kMaxTaskFolderDepth) return kErrorSuccess;
    ComPointer<ITaskFolderCollection> folders;
    if (FAILED(folder->GetFolders(0, folders.put()))) {
        ++refused;
        return kErrorSuccess;
    }
    LONG count = 0;
    if (FAILED(folders->get_Count(&count))) count = 0;
    for (LONG index = 1; index <= count; ++index) {
        ComPointer<ITaskFolder> below;
        if (FAILED(folders->get_Item(Index(index), below.put()))) {
            ++refused;
            continue;
        }
        const long status = ListFolder(scheduler, below.get(), depth + 1, tasks, refused);
        if (status != kErrorSuccess) return status;
    }
    return kErrorSuccess;
}

long ReadWholeFile(const std::wstring& path, std::vector<uint8_t>& bytes) {
    const UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return static_cast<long>(GetLastError());
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size)) return static_cast<long>(GetLastError());
    if (size.QuadPart > kMaxTaskFileBytes) return ERROR_FILE_TOO_LARGE;
    bytes.resize(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    if (!bytes.empty() && !ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr)) {
        return static_cast<long>(GetLastError());
    }
    bytes.resize(read);
    return ERROR_SUCCESS;
}

// The files of folder and every folder below it (not through links, which
// could lead back up), their paths below the Tasks folder.
void ReadFolderFiles(const std::wstring& tasksFolder, const std::wstring& relative, int depth,
                     std::vector<TaskFile>& files, size_t& refused) {
    WIN32_FIND_DATAW found{};
    const FileSearch search(tasksFolder + relative + L"\\*", found);
    if (!search.found()) {
        if (GetLastError() == ERROR_ACCESS_DENIED) ++refused;
        return;
    }
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        const std::wstring path = relative + L"\\" + name;
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            if ((found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0 && depth < kMaxTaskFolderDepth) {
                ReadFolderFiles(tasksFolder, path, depth + 1, files, refused);
            }
            continue;
        }
        TaskFile file{path, {}};
        const long read = ReadWholeFile(tasksFolder + path, file.bytes);
        if (read == ERROR_ACCESS_DENIED) ++refused;
        if (read == ERROR_SUCCESS) files.push_back(std::move(file));
    } while (search.Next(found));
}

}  // namespace

long Win32AutostartSystem::ListScheduledTasks(std::vector<TaskText>& tasks, size_t& refused) {
    tasks.clear();
    refused = 0;
    const Scheduler scheduler;
    if (scheduler.status() != kErrorSuccess) return scheduler.status();
    return ListFolder(scheduler, scheduler.root(), 0, tasks, refused);
}

long Win32AutostartSystem::ReadTaskFiles(std::vector<TaskFile>& files, size_t& refused) {
    files.clear();
    refused = 0;
    const std::wstring windows = Folder(SystemFolder::Windows);
    if (windows.empty()) return ERROR_PATH_NOT_FOUND;
    ReadFolderFiles(TasksFolder(windows, RunsUnderWow64(GetCurrentProcess())), std::wstring(), 0, files, refused);
    return ERROR_SUCCESS;
}

long Win32AutostartSystem::WriteTaskFile(const std::wstring& relativePath, const std::vector<uint8_t>& bytes) {
    const std::wstring windows = Folder(SystemFolder::Windows);
    if (windows.empty()) return ERROR_PATH_NOT_FOUND;
    const std::wstring path = TasksFolder(windows, RunsUnderWow64(GetCurrentProcess())) + TaskPathOfFile(relativePath);
    // Written beside it first, then put in its place with its own security
    // kept: a failure midway leaves the task as it was.
    const std::wstring temporary = path + L".tvx-new";
    DWORD status = ERROR_SUCCESS;
    {
        const UniqueHandle file(
            CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) return static_cast<long>(GetLastError());
        DWORD written = 0;
        if (!WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
            written != bytes.size() || !FlushFileBuffers(file.get())) {
            status = GetLastError() != ERROR_SUCCESS ? GetLastError() : ERROR_WRITE_FAULT;
        }
    }
    if (status == ERROR_SUCCESS &&
        !ReplaceFileW(path.c_str(), temporary.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)) {
        status = GetLastError();
    }
    if (status != ERROR_SUCCESS) DeleteFileW(temporary.c_str());
    return static_cast<long>(status);
}

long Win32AutostartSystem::SetTaskEnabled(const std::wstring& path, bool enabled) {
    const Scheduler scheduler;
    if (scheduler.status() != kErrorSuccess) return scheduler.status();
    const OwnedString name(scheduler.strings(), scheduler.strings().Make(path));
    ComPointer<IRegisteredTask> task;
    HRESULT result = scheduler.root()->GetTask(name.get(), task.put());
    if (SUCCEEDED(result)) result = task->put_Enabled(enabled ? VARIANT_TRUE : VARIANT_FALSE);
    return StatusOf(result);
}

long Win32AutostartSystem::RegisterTaskAgain(const std::wstring& path, const std::wstring& xml) {
    const Scheduler scheduler;
    if (scheduler.status() != kErrorSuccess) return scheduler.status();
    const OwnedString name(scheduler.strings(), scheduler.strings().Make(path));
    const OwnedString definition(scheduler.strings(), scheduler.strings().Make(xml));
    // The definition's own principal stays: no user is given.
    ComPointer<IRegisteredTask> task;
    return StatusOf(scheduler.root()->RegisterTask(name.get(), definition.get(), TASK_CREATE_OR_UPDATE, Empty(),
                                                   Empty(), TASK_LOGON_NONE, Empty(), task.put()));
}

long Win32AutostartSystem::DeleteScheduledTask(const std::wstring& path) {
    const Scheduler scheduler;
    if (scheduler.status() != kErrorSuccess) return scheduler.status();
    const OwnedString name(scheduler.strings(), scheduler.strings().Make(path));
    return StatusOf(scheduler.root()->DeleteTask(name.get(), 0));
}
