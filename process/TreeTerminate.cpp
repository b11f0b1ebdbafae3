#include "process/TreeTerminate.h"

#include <algorithm>

#include "process/ProcessTree.h"

std::string TerminateTreeQuestion(const std::string& name, size_t descendants) {
    return FormatText("确定要结束 %s 及其 %u 个子进程吗？", name.c_str(), static_cast<unsigned>(descendants));
}

std::string TreeRefusedText(const std::string& name, uint32_t pid) {
    return FormatText("%s（PID %u）不能结束，没有结束任何进程。", name.c_str(), static_cast<unsigned>(pid));
}

namespace {

struct TreeMember {
    std::string name;
    TreeNode node;
    ProcessInstance instance() const { return {node.pid, node.startTime}; }
};

std::vector<TreeMember> TakeTree(ProcessSystem& system) {
    std::vector<TreeMember> members;
    for (const ProcessRecord& record : IdentifiedWalk(system)) {
        members.push_back({record.name, {record.pid, record.parentPid, record.startTime}});
    }
    return members;
}

std::vector<TreeNode> NodesOf(const std::vector<TreeMember>& members) {
    std::vector<TreeNode> nodes;
    nodes.reserve(members.size());
    for (const TreeMember& member : members) nodes.push_back(member.node);
    return nodes;
}

// The first member no rights would end, or none.
const TreeMember* UnendableMember(ProcessSystem& system, const std::vector<const TreeMember*>& members) {
    const uint32_t ownPid = system.OwnPid();
    const auto unendable = std::find_if(members.begin(), members.end(), [&](const TreeMember* member) {
        return member->node.pid == ownPid || system.IsEndRefused(member->instance());
    });
    return unendable == members.end() ? nullptr : *unendable;
}

// Suspends every member first, so that none can start another again while
// the others are ended; then ends each that still runs, in order; then
// resumes each held member whose end failed (left suspended it would hang).
// False when one of them still runs after.
bool HoldAndEndMembers(const CommandContext& context, const std::vector<const TreeMember*>& members) {
    std::vector<bool> held;
    held.reserve(members.size());
    for (const TreeMember* member : members) {
        held.push_back(context.system.Suspend(member->instance()) == ChangeOutcome::Done);
    }
    bool allEnded = true;
    std::vector<const TreeMember*> toResume;
    for (size_t index = 0; index < members.size(); ++index) {
        const TreeMember* member = members[index];
        const EndOutcome outcome = context.system.Terminate(member->instance());
        if (outcome == EndOutcome::Gone) continue;
        const bool ended = outcome == EndOutcome::Ended;
        RecordEnd(context.log, {EndReason::TerminateTree, member->name, member->node.pid, ended, {}, {}, {}},
                  member->node.startTime);
        if (!ended && held[index]) toResume.push_back(member);
        allEnded = allEnded && ended;
    }
    for (const TreeMember* member : toResume) context.system.Resume(member->instance());
    return allEnded;
}

// The processes of a new walk that the ended tree started while it was
// ended: descendants of the root (the first counted member) among the
// counted members (gone now) and the walk's processes, that are not counted
// members themselves.
std::vector<TreeMember> StartedMeanwhile(ProcessSystem& system, const std::vector<TreeMember>& counted) {
    std::vector<TreeMember> all = counted;
    const size_t countedSize = all.size();
    for (TreeMember& current : TakeTree(system)) {
        const bool isCounted = std::any_of(counted.begin(), counted.end(), [&](const TreeMember& member) {
            return IsSameProcess(member.instance(), current.instance());
        });
        if (!isCounted) all.push_back(std::move(current));
    }
    std::vector<TreeMember> meanwhile;
    for (size_t index : DescendantsDeepestFirst(NodesOf(all), 0)) {
        if (index >= countedSize) meanwhile.push_back(all[index]);
    }
    return meanwhile;
}

std::vector<const TreeMember*> Pointers(const std::vector<TreeMember>& members) {
    std::vector<const TreeMember*> pointers;
    pointers.reserve(members.size());
    for (const TreeMember& member : members) pointers.push_back(&member);
    return pointers;
}

}  // namespace

bool RunTerminateTreeCommand(const CommandContext& context, const SelectedProcess& selected) {
    const std::vector<TreeMember> members = TakeTree(context.system);
    const auto found = std::find_if(members.begin(), members.end(), [&](const TreeMember& member) {
        return IsSameProcess(member.instance(), selected.instance()) && member.name == selected.name;
    });
    const auto root = static_cast<size_t>(found - members.begin());
    if (found == members.end()) {
        context.prompt.Notify(FormatText("%s已经结束。", selected.name.c_str()), "提示");
        return true;
    }
    const std::vector<size_t> descendants = DescendantsDeepestFirst(NodesOf(members), root);
    if (descendants.empty()) return RunTerminateCommand(context, selected);

    // The root first: a parent left running would start its children again.
    std::vector<const TreeMember*> order{&members[root]};
    for (size_t index : descendants) order.push_back(&members[index]);
    if (const TreeMember* unendable = UnendableMember(context.system, order)) {
        context.prompt.Notify(TreeRefusedText(unendable->name, unendable->node.pid), "提示");
        return false;
    }
    if (IsNtClass(context.osClass) && !context.system.EnableDebugPrivilege() && context.osClass == 2) {
        context.prompt.Notify("修改权限错误!", "提示");
        return false;
    }
    if (!context.prompt.AskYesNo(TerminateTreeQuestion(selected.name, descendants.size()), "提示")) return false;
    bool allEnded = HoldAndEndMembers(context, order);
    std::vector<TreeMember> counted;
    counted.reserve(order.size());
    for (const TreeMember* member : order) counted.push_back(*member);
    const std::vector<TreeMember> meanwhile = StartedMeanwhile(context.system, counted);
    // What started meanwhile is ended only where all of it can be.
    const std::vector<const TreeMember*> late = Pointers(meanwhile);
    allEnded = UnendableMember(context.system, late) == nullptr && HoldAndEndMembers(context, late) && allEnded;
    context.prompt.Notify(allEnded ? "中止成功" : "中止失败", "提示");
    return true;
}
