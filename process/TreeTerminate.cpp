#include "process/TreeTerminate.h"

#include "process/ProcessTree.h"

std::string TerminateTreeQuestion(const std::string& name, size_t descendants) {
    return FormatText("确定要结束 %s 及其 %u 个子进程吗？", name.c_str(), static_cast<unsigned>(descendants));
}

namespace {

struct TreeMember {
    std::string name;
    TreeNode node;
};

std::vector<TreeMember> TakeTree(ProcessSystem& system) {
    std::vector<TreeMember> members;
    system.WalkProcesses([&](const ProcessRecord& record) {
        members.push_back({record.name, {record.pid, record.parentPid, 0}});
        return true;
    });
    for (TreeMember& member : members) member.node.startTime = system.StartTimeOf(member.node.pid);
    return members;
}

// The member still runs: the same pid, name and start time (a pid given to
// another program since has another start).
bool StillRuns(const std::vector<TreeMember>& now, const TreeMember& member) {
    for (const TreeMember& current : now) {
        if (current.node.pid == member.node.pid) {
            return current.name == member.name && current.node.startTime == member.node.startTime;
        }
    }
    return false;
}

}  // namespace

bool RunTerminateTreeCommand(const CommandContext& context, const SelectedProcess& selected) {
    const std::vector<TreeMember> members = TakeTree(context.system);
    size_t root = members.size();
    for (size_t index = 0; index < members.size(); ++index) {
        if (members[index].node.pid == selected.pid && members[index].name == selected.name) root = index;
    }
    if (root == members.size()) {
        context.prompt.Notify(FormatText("%s已经结束。", selected.name.c_str()), "提示");
        return true;
    }
    std::vector<TreeNode> nodes;
    nodes.reserve(members.size());
    for (const TreeMember& member : members) nodes.push_back(member.node);
    std::vector<size_t> order = DescendantsDeepestFirst(nodes, root);
    if (order.empty()) return RunTerminateCommand(context, selected);

    if (IsNtClass(context.osClass) && !context.system.EnableDebugPrivilege() && context.osClass == 2) {
        context.prompt.Notify("修改权限错误!", "提示");
        return false;
    }
    if (!context.prompt.AskYesNo(TerminateTreeQuestion(selected.name, order.size()), "提示")) return false;
    order.push_back(root);
    // The question may have stayed open for minutes: each pid is ended only
    // while it still names the process the question counted.
    const std::vector<TreeMember> now = TakeTree(context.system);
    const uint32_t ownPid = context.system.OwnPid();
    bool allEnded = true;
    for (size_t index : order) {
        const TreeMember& member = members[index];
        if (member.node.pid == ownPid && ownPid != 0) continue;
        if (!StillRuns(now, member)) continue;
        const bool ended = context.system.TerminateByPid(member.node.pid);
        RecordEnd(context.log, context.system,
                  {EndReason::TerminateTree, member.name, member.node.pid, ended, {}, {}, {}});
        allEnded = allEnded && ended;
    }
    context.prompt.Notify(allEnded ? "中止成功" : "中止失败", "提示");
    return true;
}
