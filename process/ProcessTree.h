// The process tree: which process started which, from the pid, the parent pid
// and the start time of each process.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct TreeNode {
    uint32_t pid = 0;
    uint32_t parentPid = 0;
    uint64_t startTime = 0;  // 100-ns units; 0 when unknown
};

// A parent counts only when both start times are known and it started no
// later than the child (a child can start in the clock tick of its parent): a
// pid the system gave again to a later program adopts none of the earlier
// one's children, and a process whose start is unknown adopts none at all.
bool IsParentOf(const TreeNode& parent, const TreeNode& child);

struct TreePlace {
    size_t index = 0;  // into the nodes handed in
    int level = 0;     // 0: top level
};

// Every node once, parent first, each child under its parent one level
// deeper, children in start order; nodes whose parent is gone are at the top
// level, in start order. Equal start times keep the order handed in, and of
// two nodes that started in the same tick only the earlier handed in can be
// the other's parent: the tree has no loops, whatever the pids say.
std::vector<TreePlace> TreeOrder(const std::vector<TreeNode>& nodes);

// The indexes of every descendant of nodes[root], deepest first (within one
// level in reverse start order); the root itself is not among them.
std::vector<size_t> DescendantsDeepestFirst(const std::vector<TreeNode>& nodes, size_t root);
