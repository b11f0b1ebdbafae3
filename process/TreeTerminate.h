// 结束进程树: a process and every process it started, and they started, deepest
// first, each through the guards of 中止进程.
#pragma once

#include <string>

#include "process/ProcessCommands.h"

// "确定要结束 <name> 及其 <n> 个子进程吗？"
std::string TerminateTreeQuestion(const std::string& name, size_t descendants);

// Asks (the ordinary 中止进程 question when the process started none), then
// ends the descendants deepest first and the process last. Each pid is ended
// only while it still names the process that was asked about; the program's
// own process is never ended, critical ones are refused by the system seam.
// Each end goes into the log as 中止进程树. True: refresh the list.
bool RunTerminateTreeCommand(const CommandContext& context, const SelectedProcess& selected);
