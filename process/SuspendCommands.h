// 挂起进程, 恢复进程 and 优先级 on the row's process, and the resume of what
// the program holds suspended when it ends: plain flows over the seams.
#pragma once

#include <string>

#include "process/ProcessCommands.h"
#include "process/SuspendRules.h"

// "<name>（PID <n>）不能挂起。"
std::string SuspendRefusedText(const std::string& name, uint32_t pid);

// Never the program itself nor a process no rights would end (critical,
// protected); a process whose word is 系统进程 only after a question. A
// process suspended is held (and resumed when the program ends), a process
// resumed no longer. Each is logged with its result. True: refresh the list
// (and offer the restart as administrator for a refusal for want of rights).
bool RunSuspendCommand(const CommandContext& context, const SelectedProcess& selected, const std::string& word,
                       SuspendedByProgram& held);
bool RunResumeCommand(const CommandContext& context, const SelectedProcess& selected, SuspendedByProgram& held);

// Sets the priority class; 实时 only after a question. True: refresh the list
// (and offer the restart for a refusal for want of rights).
bool RunPriorityCommand(const CommandContext& context, const SelectedProcess& selected, PriorityLevel level);

// Resumes each held process that is still that very process and still
// suspended, each logged as a resume at exit; holds none afterwards.
void ResumeHeldAtExit(ProcessSystem& system, EndLog* log, SuspendedByProgram& held);
