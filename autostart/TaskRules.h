// Plain rules of the scheduled tasks the startup entries show: what a task
// definition (its XML) says of the task, the trigger texts, where the tasks
// are read from, the change of <Enabled> that disables a task by registering
// it again, and the texts of a removal.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "autostart/AutostartRules.h"

// A registered task as the Task Scheduler gives it, and a definition file of
// the system's Tasks folder (its path below that folder, and its bytes).
struct TaskText {
    std::wstring path;  // "\\Folder\\Name"
    std::wstring xml;
};
struct TaskFile {
    std::wstring relativePath;
    std::vector<uint8_t> bytes;
};

enum class TaskActionKind { Exec, ComHandler, Other };

struct TaskAction {
    TaskActionKind kind = TaskActionKind::Other;
    std::wstring command;  // Exec: the program, as written
    std::wstring arguments;
    std::wstring workingDirectory;
    std::wstring classId;  // ComHandler: "{...}"
};

enum class TaskTriggerKind {
    Logon,
    Boot,
    Daily,
    Weekly,
    Monthly,
    Once,
    Idle,
    Event,
    Registration,
    SessionLock,
    SessionUnlock,
    Session,
    Other
};

struct TaskTrigger {
    TaskTriggerKind kind = TaskTriggerKind::Other;
    uint32_t every = 1;          // Daily and Weekly: days or weeks between runs
    uint64_t repeatSeconds = 0;  // the repetition's interval; 0 when it does not repeat
};

struct TaskDefinition {
    std::wstring description;
    bool enabled = true;                // Settings/Enabled
    std::vector<TaskTrigger> triggers;  // the enabled ones
    std::vector<TaskAction> actions;
};

// What the task definition says; none where it is no task definition (not
// well-formed, or its root is not Task).
std::optional<TaskDefinition> ReadTaskDefinition(const std::wstring& xml);

// An ISO 8601 duration of the task schema ("PT5M", "P1DT2H", "PT30S") in
// seconds; none where it is no such duration. Years and months are refused:
// their length varies.
std::optional<uint64_t> DurationSeconds(const std::wstring& duration);

// The triggers in short, each text once, in order: 登录时, 启动时, 每天
// (每 <n> 天), 每周 (每 <n> 周), 每月, 一次, 空闲时, 事件发生时, 创建或修改时,
// 锁定时, 解锁时, 会话更改时, 其他触发器; a repetition adds 每 <n> 分钟
// (每 <n> 小时, 每 <n> 秒 where that is what it is).
std::vector<std::string> TriggerTexts(const std::vector<TaskTrigger>& triggers);

// 状态 of a task: the marks and the state as for other entries, then the
// triggers, "、" between them.
std::string TaskStatusText(const EntryMarks& marks, const std::vector<TaskTrigger>& triggers);

// The command an Exec action runs, as the 命令 column shows it: the program
// (quoted where it holds a blank) and its arguments. Variables are expanded
// by the caller.
std::wstring TaskActionCommand(const TaskAction& action);

// The description as the 说明 column shows it: its first line, at most
// maxCharacters code points, "…" where it was cut.
std::wstring CutDescription(const std::wstring& description, size_t maxCharacters = 60);
constexpr size_t kTaskDescriptionCharacters = 60;

// The definition with Settings/Enabled set to enabled, everything else as it
// was; an Enabled element is added where Settings (or the Enabled in it) is
// missing. None where the text is no task definition.
std::optional<std::wstring> TaskXmlWithEnabled(const std::wstring& xml, bool enabled);

// The answer of the Task Scheduler's calls (an HRESULT) as the status the
// flows tell apart: 0 for success, a system error's own code where the
// HRESULT wraps one (E_ACCESSDENIED gives kErrorAccessDenied), the HRESULT
// itself otherwise.
long TaskStatusOf(uint32_t hresult);
// E_NOTIMPL: the Task Scheduler cannot list the tasks of a folder.
constexpr long kTaskListingNotImplemented = static_cast<int32_t>(0x80004001U);

// Where the tasks are read from. The Task Scheduler's list, where it can
// give one; where it cannot list tasks, the definition files of the system's
// Tasks folder. Any other failure of the list shows no task.
enum class TaskSource { Scheduler, DefinitionFiles, None };
TaskSource ChooseTaskSource(long listingStatus);

// The system's Tasks folder of the 64-bit Task Scheduler: a 32-bit copy on a
// 64-bit system reaches System32 through Sysnative.
std::wstring TasksFolder(const std::wstring& windowsFolder, bool runsUnderWow64);
// A definition file's task path from its path below the Tasks folder:
// "\Folder\Name".
std::wstring TaskPathOfFile(const std::wstring& relativePath);

// The registry keys (below HKCU and HKLM) that name a COM class's server
// file, in the order they are read: InprocServer32, then LocalServer32.
std::vector<std::wstring> ComServerKeys(const std::wstring& classId);

// The last row where tasks could not be read:
// "（<n> 个计划任务需要管理员权限才能查看）".
std::string RefusedTasksText(size_t refused);
// The details' line of a working folder: "工作文件夹：<folder>".
std::string WorkingFolderText(const std::string& folder);

std::string TaskRemovalQuestion(const std::string& path);
// "2026-12-09 12:00:00  删除计划任务  <path>  <XML>" and CR LF: the whole
// definition, so that the task can be registered again, on one line: a line
// break between tags becomes a blank, one inside a value the character
// reference &#13; or &#10;, which reads back as the same value.
std::string TaskRemovalLogLine(const std::string& path, const std::string& xml, const LocalTime& time);
