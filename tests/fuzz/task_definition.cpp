// A task definition file: any bytes are read; the text written back in the
// file's own encoding reads as the same text; every element lies inside its
// parent, in order; changing Enabled changes only that, and back again gives
// the task as it was; the removal's log line stays one line.
// Input: the file.
#include <algorithm>

#include "autostart/TaskRules.h"
#include "autostart/TaskXml.h"
#include "tests/fuzz/FuzzInput.h"

namespace {

void CheckNesting(const XmlElement& element, size_t from, size_t to) {
    FUZZ_CHECK(from <= element.begin && element.begin < element.contentBegin);
    FUZZ_CHECK(element.contentBegin <= element.contentEnd && element.contentEnd <= element.end && element.end <= to);
    FUZZ_CHECK(!element.name.empty() && element.name.size() >= element.localName.size());
    size_t next = element.contentBegin;
    for (const XmlElement& child : element.children) {
        CheckNesting(child, next, element.contentEnd);
        next = child.end;
    }
}

bool SameTask(const TaskDefinition& a, const TaskDefinition& b) {
    return a.description == b.description && a.triggers.size() == b.triggers.size() &&
           a.actions.size() == b.actions.size() &&
           std::equal(a.actions.begin(), a.actions.end(), b.actions.begin(), [](const auto& x, const auto& y) {
               return x.kind == y.kind && x.command == y.command && x.arguments == y.arguments;
           });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> bytes(data, data + size);
    const std::optional<std::wstring> text = DecodeXmlBytes(bytes);
    const XmlEncoding encoding = EncodingOf(bytes);
    if (!text) {
        FUZZ_CHECK((encoding == XmlEncoding::Utf16Little || encoding == XmlEncoding::Utf16Big) && size % 2 != 0);
        return 0;
    }
    FUZZ_CHECK(DecodeXmlBytes(EncodeXml(*text, encoding)) == text);

    if (const std::optional<XmlElement> root = ParseXml(*text)) CheckNesting(*root, 0, text->size());
    const std::optional<TaskDefinition> task = ReadTaskDefinition(*text);
    if (task) {
        for (const std::string& trigger : TriggerTexts(task->triggers)) FUZZ_CHECK(!trigger.empty());
        const std::optional<std::wstring> flipped = TaskXmlWithEnabled(*text, !task->enabled);
        const bool selfClosingRoot = !flipped;
        if (!selfClosingRoot) {
            const std::optional<TaskDefinition> changed = ReadTaskDefinition(*flipped);
            FUZZ_CHECK(changed && changed->enabled == !task->enabled && SameTask(*changed, *task));
            const std::optional<std::wstring> back = TaskXmlWithEnabled(*flipped, task->enabled);
            FUZZ_CHECK(back && ReadTaskDefinition(*back) && ReadTaskDefinition(*back)->enabled == task->enabled);
        }
        FUZZ_CHECK(CutDescription(task->description, 10).size() <= 2 * 10 + 1);
    }
    const std::string narrow(reinterpret_cast<const char*>(data), size);
    const std::string line = TaskRemovalLogLine("\\T", narrow, {2026, 1, 2, 3, 4, 5});
    FUZZ_CHECK(line.size() >= 2 && line.compare(line.size() - 2, 2, "\r\n") == 0);
    FUZZ_CHECK(line.find_first_of("\r\n") == line.size() - 2);
    return 0;
}
