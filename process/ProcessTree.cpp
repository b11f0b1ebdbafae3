#include "process/ProcessTree.h"

#include <algorithm>
#include <numeric>
#include <unordered_map>

bool IsParentOf(const TreeNode& parent, const TreeNode& child) {
    // A known parent's start is never "no later than" an unknown (0) one.
    return parent.pid == child.parentPid && parent.startTime != 0 && parent.startTime <= child.startTime;
}

namespace {

// Each node's children in start order, and the top-level nodes in start order.
struct Forest {
    std::vector<std::vector<size_t>> children;
    std::vector<size_t> roots;
};

Forest BuildForest(const std::vector<TreeNode>& nodes) {
    std::unordered_map<uint32_t, size_t> byPid;
    byPid.reserve(nodes.size());
    for (size_t index = 0; index < nodes.size(); ++index) byPid.emplace(nodes[index].pid, index);
    std::vector<size_t> byStart(nodes.size());
    std::iota(byStart.begin(), byStart.end(), size_t{0});
    std::stable_sort(byStart.begin(), byStart.end(),
                     [&](size_t a, size_t b) { return nodes[a].startTime < nodes[b].startTime; });
    std::vector<size_t> rank(nodes.size());
    for (size_t position = 0; position < byStart.size(); ++position) rank[byStart[position]] = position;
    Forest forest;
    forest.children.resize(nodes.size());
    for (size_t index : byStart) {
        const auto parent = byPid.find(nodes[index].parentPid);
        if (parent != byPid.end() && rank[parent->second] < rank[index] &&
            IsParentOf(nodes[parent->second], nodes[index])) {
            forest.children[parent->second].push_back(index);
        } else {
            forest.roots.push_back(index);
        }
    }
    return forest;
}

}  // namespace

std::vector<TreePlace> TreeOrder(const std::vector<TreeNode>& nodes) {
    const Forest forest = BuildForest(nodes);
    std::vector<TreePlace> order;
    order.reserve(nodes.size());
    // Depth first without recursion: a chain of thousands of processes needs
    // no stack of that depth.
    std::vector<TreePlace> pending;
    for (auto root = forest.roots.rbegin(); root != forest.roots.rend(); ++root) pending.push_back({*root, 0});
    while (!pending.empty()) {
        const TreePlace place = pending.back();
        pending.pop_back();
        order.push_back(place);
        const std::vector<size_t>& children = forest.children[place.index];
        for (auto child = children.rbegin(); child != children.rend(); ++child) {
            pending.push_back({*child, place.level + 1});
        }
    }
    return order;
}

std::vector<size_t> DescendantsDeepestFirst(const std::vector<TreeNode>& nodes, size_t root) {
    if (root >= nodes.size()) return {};
    const Forest forest = BuildForest(nodes);
    // Level by level from the root; the levels read backwards give the deepest first.
    std::vector<std::vector<size_t>> levels{{root}};
    while (true) {
        std::vector<size_t> next;
        for (size_t index : levels.back()) {
            next.insert(next.end(), forest.children[index].begin(), forest.children[index].end());
        }
        if (next.empty()) break;
        levels.push_back(std::move(next));
    }
    std::vector<size_t> descendants;
    for (size_t level = levels.size() - 1; level > 0; --level) {
        descendants.insert(descendants.end(), levels[level].rbegin(), levels[level].rend());
    }
    return descendants;
}
