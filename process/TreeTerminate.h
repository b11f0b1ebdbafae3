// 结束进程树: a process and every process it started, and they started, each
// through the guards of 中止进程.
#pragma once

#include <string>

#include "process/ProcessCommands.h"

// "确定要结束 <name> 及其 <n> 个子进程吗？"
std::string TerminateTreeQuestion(const std::string& name, size_t descendants);

// "<name>（PID <n>）不能结束，没有结束任何进程。"
std::string TreeRefusedText(const std::string& name, uint32_t pid);

// A tree holding a process that cannot be ended (the program itself, a
// critical or protected process) is refused as a whole, naming it, before
// anything is asked or ended. Otherwise asks (the ordinary 中止进程 question
// when the process started none), suspends every member (so that none starts
// another again, as a pair of programs that restart each other would), ends
// the process first, then its descendants deepest first, and resumes only a
// member whose end failed; then the same for those started meanwhile. Each is ended only while its pid names the very
// process that was counted; each end goes into the log as 中止进程树. "中止成功" only when every member is gone. True:
// refresh the list.
bool RunTerminateTreeCommand(const CommandContext& context, const SelectedProcess& selected);
