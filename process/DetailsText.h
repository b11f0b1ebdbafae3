// The details box of a process: its snapshot record, its first thread, the
// short path of its program file and its reference line.
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

// Shows the details box (caption "进程信息"); the list is refreshed afterwards.
bool RunDetailsCommand(const CommandContext& context, const SelectedProcess& selected);
