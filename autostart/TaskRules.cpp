#include "autostart/TaskRules.h"

#include <algorithm>

#include "autostart/TaskXml.h"

namespace {

std::wstring Trimmed(const std::wstring& text) {
    const size_t first = text.find_first_not_of(L" \t\r\n");
    if (first == std::wstring::npos) return std::wstring();
    const size_t last = text.find_last_not_of(L" \t\r\n");
    return text.substr(first, last - first + 1);
}

std::wstring TextOf(const XmlElement* element) { return element ? Trimmed(element->text) : std::wstring(); }

// xs:boolean: "true" and "1" are true, "false" and "0" false; anything else
// leaves the default.
bool BooleanOf(const XmlElement* element, bool byDefault) {
    const std::wstring text = TextOf(element);
    if (text == L"true" || text == L"1") return true;
    if (text == L"false" || text == L"0") return false;
    return byDefault;
}

// A positive count of at most nine digits; none otherwise.
std::optional<uint32_t> CountOf(const XmlElement* element) {
    const std::wstring text = TextOf(element);
    if (text.empty() || text.size() > 9) return std::nullopt;
    uint32_t count = 0;
    for (const wchar_t c : text) {
        if (c < L'0' || c > L'9') return std::nullopt;
        count = count * 10 + static_cast<uint32_t>(c - L'0');
    }
    return count == 0 ? std::nullopt : std::optional<uint32_t>(count);
}

TaskTrigger TriggerOf(const XmlElement& element) {
    TaskTrigger trigger;
    const std::wstring& name = element.localName;
    if (name == L"LogonTrigger") {
        trigger.kind = TaskTriggerKind::Logon;
    } else if (name == L"BootTrigger") {
        trigger.kind = TaskTriggerKind::Boot;
    } else if (name == L"TimeTrigger") {
        trigger.kind = TaskTriggerKind::Once;
    } else if (name == L"IdleTrigger") {
        trigger.kind = TaskTriggerKind::Idle;
    } else if (name == L"EventTrigger") {
        trigger.kind = TaskTriggerKind::Event;
    } else if (name == L"RegistrationTrigger") {
        trigger.kind = TaskTriggerKind::Registration;
    } else if (name == L"SessionStateChangeTrigger") {
        const std::wstring change = TextOf(element.Child(L"StateChange"));
        trigger.kind = change == L"SessionLock"     ? TaskTriggerKind::SessionLock
                       : change == L"SessionUnlock" ? TaskTriggerKind::SessionUnlock
                                                    : TaskTriggerKind::Session;
    } else if (name == L"CalendarTrigger") {
        if (const XmlElement* byDay = element.Child(L"ScheduleByDay")) {
            trigger.kind = TaskTriggerKind::Daily;
            trigger.every = CountOf(byDay->Child(L"DaysInterval")).value_or(1);
        } else if (const XmlElement* byWeek = element.Child(L"ScheduleByWeek")) {
            trigger.kind = TaskTriggerKind::Weekly;
            trigger.every = CountOf(byWeek->Child(L"WeeksInterval")).value_or(1);
        } else if (element.Child(L"ScheduleByMonth") || element.Child(L"ScheduleByMonthDayOfWeek")) {
            trigger.kind = TaskTriggerKind::Monthly;
        }
    }
    if (const XmlElement* repetition = element.Child(L"Repetition")) {
        trigger.repeatSeconds = DurationSeconds(TextOf(repetition->Child(L"Interval"))).value_or(0);
    }
    return trigger;
}

TaskAction ActionOf(const XmlElement& element) {
    TaskAction action;
    if (element.localName == L"Exec") {
        action.kind = TaskActionKind::Exec;
        action.command = TextOf(element.Child(L"Command"));
        action.arguments = TextOf(element.Child(L"Arguments"));
        action.workingDirectory = TextOf(element.Child(L"WorkingDirectory"));
    } else if (element.localName == L"ComHandler") {
        action.kind = TaskActionKind::ComHandler;
        action.classId = TextOf(element.Child(L"ClassId"));
    }
    return action;
}

std::string Number(uint64_t number) { return std::to_string(number); }

std::string RepetitionText(uint64_t seconds) {
    if (seconds % 3600 == 0) return "每 " + Number(seconds / 3600) + " 小时";
    if (seconds % 60 == 0) return "每 " + Number(seconds / 60) + " 分钟";
    return "每 " + Number(seconds) + " 秒";
}

std::string KindText(const TaskTrigger& trigger) {
    switch (trigger.kind) {
    case TaskTriggerKind::Logon: return "登录时";
    case TaskTriggerKind::Boot: return "启动时";
    case TaskTriggerKind::Daily: return trigger.every > 1 ? "每 " + Number(trigger.every) + " 天" : "每天";
    case TaskTriggerKind::Weekly: return trigger.every > 1 ? "每 " + Number(trigger.every) + " 周" : "每周";
    case TaskTriggerKind::Monthly: return "每月";
    case TaskTriggerKind::Once: return "一次";
    case TaskTriggerKind::Idle: return "空闲时";
    case TaskTriggerKind::Event: return "事件发生时";
    case TaskTriggerKind::Registration: return "创建或修改时";
    case TaskTriggerKind::SessionLock: return "锁定时";
    case TaskTriggerKind::SessionUnlock: return "解锁时";
    case TaskTriggerKind::Session: return "会话更改时";
    case TaskTriggerKind::Other: break;
    }
    return "其他触发器";
}

}  // namespace

std::optional<TaskDefinition> ReadTaskDefinition(const std::wstring& xml) {
    const std::optional<XmlElement> root = ParseXml(xml);
    if (!root || root->localName != L"Task") return std::nullopt;
    TaskDefinition task;
    if (const XmlElement* registration = root->Child(L"RegistrationInfo")) {
        task.description = TextOf(registration->Child(L"Description"));
    }
    if (const XmlElement* settings = root->Child(L"Settings")) {
        task.enabled = BooleanOf(settings->Child(L"Enabled"), true);
    }
    if (const XmlElement* triggers = root->Child(L"Triggers")) {
        for (const XmlElement& trigger : triggers->children) {
            if (BooleanOf(trigger.Child(L"Enabled"), true)) task.triggers.push_back(TriggerOf(trigger));
        }
    }
    if (const XmlElement* actions = root->Child(L"Actions")) {
        for (const XmlElement& action : actions->children) task.actions.push_back(ActionOf(action));
    }
    return task;
}

std::optional<uint64_t> DurationSeconds(const std::wstring& duration) {
    if (duration.empty() || duration[0] != L'P') return std::nullopt;
    uint64_t total = 0;
    uint64_t number = 0;
    size_t digits = 0;
    bool inTime = false;
    bool any = false;
    for (size_t at = 1; at < duration.size(); ++at) {
        const wchar_t c = duration[at];
        if (c >= L'0' && c <= L'9') {
            // Nine digits a part: no sum of parts can overflow.
            if (++digits > 9) return std::nullopt;
            number = number * 10 + static_cast<uint64_t>(c - L'0');
            continue;
        }
        uint64_t unit = 0;
        if (c == L'T' && !inTime && digits == 0) {
            inTime = true;
            any = false;  // a time part must follow
            continue;
        }
        if (!inTime && c == L'W') unit = uint64_t{7} * 86400;
        if (!inTime && c == L'D') unit = 86400;
        if (inTime && c == L'H') unit = 3600;
        if (inTime && c == L'M') unit = 60;
        if (inTime && c == L'S') unit = 1;
        if (unit == 0 || digits == 0) return std::nullopt;
        total += number * unit;
        number = 0;
        digits = 0;
        any = true;
    }
    if (digits != 0 || !any) return std::nullopt;
    return total;
}

std::vector<std::string> TriggerTexts(const std::vector<TaskTrigger>& triggers) {
    std::vector<std::string> texts;
    const auto add = [&texts](const std::string& text) {
        if (std::find(texts.begin(), texts.end(), text) == texts.end()) texts.push_back(text);
    };
    for (const TaskTrigger& trigger : triggers) {
        add(KindText(trigger));
        if (trigger.repeatSeconds != 0) add(RepetitionText(trigger.repeatSeconds));
    }
    return texts;
}

std::string TaskStatusText(const EntryMarks& marks, const std::vector<TaskTrigger>& triggers) {
    std::string text = StatusText(marks);
    for (const std::string& trigger : TriggerTexts(triggers)) text += "、" + trigger;
    return text;
}

std::wstring TaskActionCommand(const TaskAction& action) {
    const bool quote = action.command.find_first_of(L" \t") != std::wstring::npos && action.command.front() != L'"';
    std::wstring command = quote ? L"\"" + action.command + L"\"" : action.command;
    if (!action.arguments.empty()) command += L" " + action.arguments;
    return command;
}

std::wstring CutDescription(const std::wstring& description, size_t maxCharacters) {
    std::wstring line = Trimmed(description.substr(0, description.find_first_of(L"\r\n")));
    const bool moreLines = line.size() < Trimmed(description).size();
    size_t characters = 0;
    for (size_t at = 0; at < line.size(); ++at) {
        // A surrogate pair is one character, never parted.
        const bool low =
            line[at] >= 0xDC00 && line[at] <= 0xDFFF && at > 0 && line[at - 1] >= 0xD800 && line[at - 1] <= 0xDBFF;
        if (low) continue;
        if (++characters > maxCharacters) return line.substr(0, at) + L"…";
    }
    return moreLines ? line + L"…" : line;
}

std::optional<std::wstring> TaskXmlWithEnabled(const std::wstring& xml, bool enabled) {
    const std::optional<XmlElement> root = ParseXml(xml);
    if (!root || root->localName != L"Task" || root->selfClosing) return std::nullopt;
    const std::wstring value = enabled ? L"true" : L"false";
    // New elements take the prefix the task's own elements have.
    const std::wstring prefix = root->name.substr(0, root->name.size() - root->localName.size());
    const std::wstring enabledElement = L"<" + prefix + L"Enabled>" + value + L"</" + prefix + L"Enabled>";
    std::wstring changed = xml;
    const XmlElement* settings = root->Child(L"Settings");
    if (!settings) {
        const std::wstring added = L"<" + prefix + L"Settings>" + enabledElement + L"</" + prefix + L"Settings>";
        return changed.insert(root->contentEnd, added);
    }
    if (const XmlElement* current = settings->Child(L"Enabled")) {
        if (current->selfClosing) return changed.replace(current->begin, current->end - current->begin, enabledElement);
        return changed.replace(current->contentBegin, current->contentEnd - current->contentBegin, value);
    }
    if (settings->selfClosing) {
        return changed.replace(settings->begin, settings->end - settings->begin,
                               L"<" + settings->name + L">" + enabledElement + L"</" + settings->name + L">");
    }
    return changed.insert(settings->contentBegin, enabledElement);
}

long TaskStatusOf(uint32_t hresult) {
    constexpr uint32_t kWin32Facility = 7;
    if (hresult == 0) return kErrorSuccess;
    if ((hresult & 0x80000000U) != 0 && ((hresult >> 16) & 0x1FFF) == kWin32Facility) {
        return static_cast<long>(hresult & 0xFFFF);
    }
    return static_cast<int32_t>(hresult);
}

TaskSource ChooseTaskSource(long listingStatus) {
    if (listingStatus == kErrorSuccess) return TaskSource::Scheduler;
    return listingStatus == kTaskListingNotImplemented ? TaskSource::DefinitionFiles : TaskSource::None;
}

std::wstring TasksFolder(const std::wstring& windowsFolder, bool runsUnderWow64) {
    std::wstring folder = windowsFolder;
    if (!folder.empty() && folder.back() == L'\\') folder.pop_back();
    return folder + (runsUnderWow64 ? L"\\Sysnative\\Tasks" : L"\\System32\\Tasks");
}

std::wstring TaskPathOfFile(const std::wstring& relativePath) {
    return !relativePath.empty() && relativePath.front() == L'\\' ? relativePath : L"\\" + relativePath;
}

std::vector<std::wstring> ComServerKeys(const std::wstring& classId) {
    const std::wstring key = L"Software\\Classes\\CLSID\\" + classId;
    return {key + L"\\InprocServer32", key + L"\\LocalServer32"};
}

std::string RefusedTasksText(size_t refused) {
    return "（" + std::to_string(refused) + " 个计划任务需要管理员权限才能查看）";
}

std::string WorkingFolderText(const std::string& folder) { return "工作文件夹：" + folder; }

std::string TaskRemovalQuestion(const std::string& path) { return "确定要删除计划任务 " + path + " 吗？"; }

std::string TaskRemovalLogLine(const std::string& path, const std::string& xml, const LocalTime& time) {
    const char* const kBlanks = " \t\r\n";
    std::string line = LocalTimeText(time) + "  删除计划任务  " + path + "  ";
    for (size_t at = 0; at < xml.size(); ++at) {
        const char byte = xml[at];
        if (byte != '\r' && byte != '\n') {
            line += byte;
            continue;
        }
        // Between tags a line break is layout: a blank says the same. In a
        // value it is part of the value and stays, as a reference.
        const size_t before = xml.find_last_not_of(kBlanks, at);
        const size_t after = xml.find_first_not_of(kBlanks, at);
        const bool layout =
            (before == std::string::npos || xml[before] == '>') && (after == std::string::npos || xml[after] == '<');
        line += layout ? " " : byte == '\r' ? "&#13;" : "&#10;";
    }
    return line + "\r\n";
}
