// The commands that end processes on the user's request (terminate, slim down,
// delete file) as plain flows over the platform seams. Each flow returns true
// when the list is to be refreshed afterwards.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "process/EndLog.h"
#include "process/MessagePrompt.h"
#include "process/ProcessRules.h"
#include "process/ProcessSystem.h"

// The list row a command acts on: the name of column 0, the pid read from
// column 2 and the start time the refresh's look gave the row (empty, 0 and 0
// when no row is selected).
struct SelectedProcess {
    std::string name;
    uint32_t pid = 0;
    uint64_t startTime = 0;  // 0 when unknown
    ProcessInstance instance() const { return {pid, startTime}; }
};

struct CommandContext {
    ProcessSystem& system;
    MessagePrompt& prompt;
    int osClass;
    const std::vector<std::string>& referenceLines;
    EndLog* log = nullptr;                 // told of every process a command tries to end
    const BlockList* blockList = nullptr;  // for the details box's word on the program's place
    // The recorded name the process's program file matches; null for none.
    std::function<const std::string*(const SelectedProcess&)> fingerprintMatch = nullptr;
    // The processes this program holds suspended (the details box's 状态).
    const SuspendedByProgram* heldSuspended = nullptr;
    // What rooms above this one tell of the process in the details box, one
    // line each, after the box's own lines.
    std::function<std::vector<std::string>(const SelectedProcess&)> moreDetailLines = nullptr;
};

// Caption of the delete-file outcome: the application's title.
constexpr const char* kDeleteResultCaption = "tarvemonix";

// How long delete-file waits for the terminated process to release its image.
constexpr uint32_t kProcessEndWaitMs = 5000;

// Slim down spares a process whose name occurs inside a name of
// SystemProcessNames or inside a reference line, and always the program's
// own process.
bool IsSparedBySlimDown(const ProcessRecord& record, uint32_t ownPid, const std::vector<std::string>& referenceLines);

// Whether delete-file takes the row's name as the file's path: the 9x family
// and Win32s (classes 1 and 3) name processes by their full path; every NT
// class asks the process itself.
bool DeletesByRowName(int osClass);

// A path that names exactly one file: not empty and free of the shell's
// wildcards (which a lossy code-page conversion can leave as '?').
bool IsDeletablePath(std::string_view path);

// Terminate and delete file act on the row's process alone (its pid and start
// time, checked on the handle that ends it); when the pid no longer names it
// they act on nothing, say that the process has ended ("提示") and ask for a
// refresh.
bool RunTerminateCommand(const CommandContext& context, const SelectedProcess& selected);
bool RunSlimCommand(const CommandContext& context);
bool RunDeleteFileCommand(const CommandContext& context, const SelectedProcess& selected);
