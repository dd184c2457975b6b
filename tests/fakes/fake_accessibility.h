#pragma once

#include "platform/accessibility.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace twk::test {

/// One element of an in-memory accessibility tree. Attributes are stored as
/// given; "AXChildren" comes from `children` unless set explicitly.
struct FakeAXNode {
    std::map<std::string, AXValue, std::less<>> attributes;
    /// Nothing: the action list cannot be read.
    std::optional<std::vector<std::string>> actions = std::vector<std::string>{};
    std::vector<std::shared_ptr<FakeAXNode>> children;
    /// The answer of performAction (0: done).
    int actionStatus = 0;
    /// The answer of setAttribute (0: stored).
    int setStatus = 0;
    std::vector<std::string> performed;
    /// A vanished element: every read fails.
    bool gone = false;
    /// Reported as not shown at all (isHidden).
    bool hidden = false;

    std::shared_ptr<FakeAXNode> add(std::shared_ptr<FakeAXNode> child)
    {
        children.push_back(child);
        return child;
    }
};
using FakeAXNodePtr = std::shared_ptr<FakeAXNode>;

/// A node with a role, a title and, when `width` is given, a frame.
inline FakeAXNodePtr axNode(const std::string& role, const std::string& title = {}, double width = 0, double height = 20,
                            double x = 0, double y = 0)
{
    auto node = std::make_shared<FakeAXNode>();
    node->attributes["AXRole"] = role;
    if (!title.empty()) node->attributes["AXTitle"] = title;
    if (width > 0) {
        node->attributes["AXPosition"] = AXPoint{x, y};
        node->attributes["AXSize"] = AXSize{width, height};
    }
    return node;
}

class FakeAXHandle final : public AXElement {
public:
    explicit FakeAXHandle(FakeAXNodePtr n) : node(std::move(n)) {}
    std::uintptr_t identity() const override { return reinterpret_cast<std::uintptr_t>(node.get()); }
    FakeAXNodePtr node;
};

/// Applications by process id, each an element tree; counts the reads.
class FakeAccessibility : public Accessibility {
public:
    std::map<int, FakeAXNodePtr> applications;
    /// Front to back; frontmostApplicationPid skips the excluded one.
    std::vector<int> stacking;
    bool trusted = true;
    bool systemMenuFirst = false;
    int reads = 0;
    int settingsOpened = 0;

    static AXElementRef handle(const FakeAXNodePtr& node) { return std::make_shared<FakeAXHandle>(node); }
    static FakeAXNodePtr node(const AXElementRef& element)
    {
        const auto* h = dynamic_cast<const FakeAXHandle*>(element.get());
        return h != nullptr ? h->node : nullptr;
    }

    bool isProcessTrusted(bool) override { return trusted; }
    bool openAccessibilitySettings() override { return ++settingsOpened, true; }
    std::optional<int> frontmostApplicationPid(int excludedPid) override
    {
        for (const int pid : stacking)
            if (pid != excludedPid) return pid;
        return std::nullopt;
    }
    AXElementRef applicationElement(int pid) override
    {
        const auto it = applications.find(pid);
        return it == applications.end() ? nullptr : handle(it->second);
    }
    std::optional<AXValue> attribute(const AXElementRef& element, std::string_view name) override
    {
        ++reads;
        const auto n = node(element);
        if (!n || n->gone) return std::nullopt;
        if (const auto it = n->attributes.find(name); it != n->attributes.end()) return it->second;
        if (name != "AXChildren") return std::nullopt;
        std::vector<AXElementRef> kids;
        for (const auto& child : n->children) kids.push_back(handle(child));
        return AXValue(std::move(kids));
    }
    bool isHidden(const AXElementRef& element) override
    {
        const auto n = node(element);
        return n && n->hidden;
    }
    std::optional<std::vector<std::string>> actionNames(const AXElementRef& element) override
    {
        ++reads;
        const auto n = node(element);
        if (!n || n->gone) return std::nullopt;
        return n->actions;
    }
    int performAction(const AXElementRef& element, std::string_view action) override
    {
        const auto n = node(element);
        if (!n || n->gone) return -1;
        n->performed.emplace_back(action);
        return n->actionStatus;
    }
    int setAttribute(const AXElementRef& element, std::string_view name, const AXValue& value) override
    {
        const auto n = node(element);
        if (!n || n->gone) return -1;
        if (n->setStatus != 0) return n->setStatus;
        n->attributes[std::string(name)] = value;
        return 0;
    }
    bool menuBarStartsWithSystemMenu() const override { return systemMenuFirst; }
};

} // namespace twk::test
