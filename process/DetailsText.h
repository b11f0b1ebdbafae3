// The details box of a process: its snapshot record, its first thread, the
// short path of its program file and its reference line, then what it costs
// and where its program file comes from.
#pragma once

#include <string>

#include "process/ProcessCommands.h"
#include "process/ProcessSystem.h"

std::string DetailsProcessPart(const ProcessRecord& record);
std::string DetailsThreadPart(const ThreadRecord& thread);
std::string DetailsPathPart(const std::string& shortPath);

// The whole text: process part, thread part, path part (class 2 only) and
// reference part, each empty when its data are missing.
std::string BuildDetailsText(const CommandContext& context, const SelectedProcess& selected);

// What the box tells beyond the snapshot, one line each: the program file's
// full path, start time, processor time, working set, private bytes, the
// file's description and company, its priority class, "无法读取" for each that
// cannot be read; "状态: 已挂起" for a suspended process;
// and why a core Windows name is suspicious, where it is.
std::string BuildDetailsFacts(const CommandContext& context, const SelectedProcess& selected);

// The snapshot's text, a blank line, then the facts.
std::string JoinDetails(const std::string& snapshotText, const std::string& facts);

// Shows the details box (caption "进程信息"): the snapshot's text, the facts,
// the identity lines, then the context's further lines; the list is
// refreshed afterwards.
bool RunDetailsCommand(const CommandContext& context, const SelectedProcess& selected);
