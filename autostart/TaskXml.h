// A small XML reader for the task definitions the Task Scheduler keeps: the
// elements with their attributes and text, and where each lies in the source,
// so that one value can be changed and the rest kept as it was. It reads what
// a task definition holds and nothing more: no document type (and so no
// entities beyond the five predefined and character references), no external
// anything. Input that is not well-formed gives no document.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

struct XmlElement {
    std::wstring name;       // as written, with its prefix
    std::wstring localName;  // without the prefix
    std::vector<std::pair<std::wstring, std::wstring>> attributes;
    std::wstring text;  // the element's own character data, references resolved
    std::vector<XmlElement> children;
    // Offsets in the source: the start tag's '<', the content (between the
    // tags; empty for "<a/>"), and just past the element's end.
    size_t begin = 0;
    size_t contentBegin = 0;
    size_t contentEnd = 0;
    size_t end = 0;
    bool selfClosing = false;

    // The first child of that local name, or null.
    const XmlElement* Child(const std::wstring& local) const;
};

// Limits that keep a hostile file from costing more than a real one could.
constexpr size_t kMaxXmlChars = 4 * 1024 * 1024;
constexpr size_t kMaxXmlDepth = 64;
constexpr size_t kMaxXmlElements = 100000;

// The root element of the document, or none where it is not well-formed or
// passes a limit.
std::optional<XmlElement> ParseXml(const std::wstring& source);

// How a task file's text is stored: by its byte order mark.
enum class XmlEncoding { Utf8, Utf8WithMark, Utf16Little, Utf16Big };
XmlEncoding EncodingOf(const std::vector<uint8_t>& bytes);
// The text as a file of that encoding holds it, its mark first.
std::vector<uint8_t> EncodeXml(const std::wstring& text, XmlEncoding encoding);

// The text of bytes read from a task file: UTF-16 (little or big endian) by
// its byte order mark, else UTF-8 (with or without its mark). Ill-formed
// sequences become U+FFFD; none where the bytes are an odd count of UTF-16.
std::optional<std::wstring> DecodeXmlBytes(const std::vector<uint8_t>& bytes);

// Appends a code point in the platform's wide characters (a surrogate pair
// where they are 16 bits).
void AppendCodePoint(std::wstring& text, char32_t codePoint);
