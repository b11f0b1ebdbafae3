#include "autostart/TaskXml.h"

namespace {

bool IsXmlBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; }

bool IsNameChar(wchar_t c) {
    return !IsXmlBlank(c) && c != L'<' && c != L'>' && c != L'/' && c != L'=' && c != L'"' && c != L'\'' && c != L'&' &&
           c != L'?' && c != L'!';
}

bool StartsAt(const std::wstring& text, size_t at, const wchar_t* what) {
    return text.compare(at, std::char_traits<wchar_t>::length(what), what) == 0;
}

bool IsValidCodePoint(char32_t c) { return c != 0 && c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF); }

class Reader {
public:
    explicit Reader(const std::wstring& source) : m_text(source) {}

    std::optional<XmlElement> Document() {
        if (m_text.size() > kMaxXmlChars) return std::nullopt;
        if (!m_text.empty() && m_text[0] == 0xFEFF) m_at = 1;
        if (!SkipMisc()) return std::nullopt;
        if (m_at >= m_text.size() || m_text[m_at] != L'<') return std::nullopt;
        XmlElement root;
        if (!Element(root, 1)) return std::nullopt;
        if (!SkipMisc() || m_at != m_text.size()) return std::nullopt;
        return root;
    }

private:
    // Blanks, comments and processing instructions (the declaration among
    // them) outside the root. A document type is refused.
    bool SkipMisc() {
        for (;;) {
            while (m_at < m_text.size() && IsXmlBlank(m_text[m_at])) ++m_at;
            if (StartsAt(m_text, m_at, L"<!--")) {
                if (!SkipPast(L"-->", 4)) return false;
            } else if (StartsAt(m_text, m_at, L"<?")) {
                if (!SkipPast(L"?>", 2)) return false;
            } else {
                return !StartsAt(m_text, m_at, L"<!");
            }
        }
    }

    bool SkipPast(const wchar_t* end, size_t opening) {
        const size_t found = m_text.find(end, m_at + opening);
        if (found == std::wstring::npos) return false;
        m_at = found + std::char_traits<wchar_t>::length(end);
        return true;
    }

    std::wstring Name() {
        const size_t start = m_at;
        while (m_at < m_text.size() && IsNameChar(m_text[m_at])) ++m_at;
        return m_text.substr(start, m_at - start);
    }

    void SkipBlanks() {
        while (m_at < m_text.size() && IsXmlBlank(m_text[m_at])) ++m_at;
    }

    // A reference after its '&': appended to out.
    bool Reference(std::wstring& out) {
        const size_t semicolon = m_text.find(L';', m_at);
        if (semicolon == std::wstring::npos || semicolon - m_at > 10) return false;
        const std::wstring name = m_text.substr(m_at, semicolon - m_at);
        m_at = semicolon + 1;
        if (name == L"lt") return out += L'<', true;
        if (name == L"gt") return out += L'>', true;
        if (name == L"amp") return out += L'&', true;
        if (name == L"quot") return out += L'"', true;
        if (name == L"apos") return out += L'\'', true;
        if (name.size() < 2 || name[0] != L'#') return false;
        const bool hex = name[1] == L'x';
        const size_t first = hex ? 2 : 1;
        char32_t code = 0;
        for (size_t at = first; at < name.size(); ++at) {
            const wchar_t c = name[at];
            unsigned digit = 0;
            if (c >= L'0' && c <= L'9') {
                digit = static_cast<unsigned>(c - L'0');
            } else if (hex && c >= L'a' && c <= L'f') {
                digit = static_cast<unsigned>(c - L'a' + 10);
            } else if (hex && c >= L'A' && c <= L'F') {
                digit = static_cast<unsigned>(c - L'A' + 10);
            } else {
                return false;
            }
            code = code * (hex ? 16 : 10) + digit;
            if (code > 0x10FFFF) return false;
        }
        // No digits leave code 0, which is no character either.
        if (!IsValidCodePoint(code)) return false;
        AppendCodePoint(out, code);
        return true;
    }

    bool Attributes(XmlElement& element) {
        for (;;) {
            const size_t before = m_at;
            SkipBlanks();
            if (m_at >= m_text.size()) return false;
            if (m_text[m_at] == L'>' || m_text[m_at] == L'/') return true;
            // Attributes are parted by blanks.
            if (m_at == before) return false;
            std::wstring name = Name();
            if (name.empty()) return false;
            SkipBlanks();
            if (m_at >= m_text.size() || m_text[m_at] != L'=') return false;
            ++m_at;
            SkipBlanks();
            if (m_at >= m_text.size() || (m_text[m_at] != L'"' && m_text[m_at] != L'\'')) return false;
            const wchar_t quote = m_text[m_at++];
            std::wstring value;
            while (m_at < m_text.size() && m_text[m_at] != quote) {
                const wchar_t c = m_text[m_at++];
                if (c == L'<') return false;
                if (c == L'&') {
                    if (!Reference(value)) return false;
                } else {
                    value += c;
                }
            }
            if (m_at >= m_text.size()) return false;
            ++m_at;
            element.attributes.emplace_back(std::move(name), std::move(value));
        }
    }

    // An element from its '<'.
    bool Element(XmlElement& element, size_t depth) {
        if (depth > kMaxXmlDepth || ++m_elements > kMaxXmlElements) return false;
        element.begin = m_at++;
        element.name = Name();
        if (element.name.empty()) return false;
        const size_t colon = element.name.find(L':');
        element.localName = colon == std::wstring::npos ? element.name : element.name.substr(colon + 1);
        if (!Attributes(element)) return false;
        if (m_text[m_at] == L'/') {
            if (!StartsAt(m_text, m_at, L"/>")) return false;
            m_at += 2;
            element.selfClosing = true;
            element.contentBegin = element.contentEnd = element.end = m_at;
            return true;
        }
        element.contentBegin = ++m_at;
        for (;;) {
            if (m_at >= m_text.size()) return false;
            const wchar_t c = m_text[m_at];
            if (c == L'&') {
                ++m_at;
                if (!Reference(element.text)) return false;
            } else if (c != L'<') {
                element.text += c;
                ++m_at;
            } else if (StartsAt(m_text, m_at, L"</")) {
                element.contentEnd = m_at;
                m_at += 2;
                if (Name() != element.name) return false;
                SkipBlanks();
                if (m_at >= m_text.size() || m_text[m_at] != L'>') return false;
                element.end = ++m_at;
                return true;
            } else if (StartsAt(m_text, m_at, L"<!--")) {
                if (!SkipPast(L"-->", 4)) return false;
            } else if (StartsAt(m_text, m_at, L"<![CDATA[")) {
                const size_t start = m_at + 9;
                const size_t close = m_text.find(L"]]>", start);
                if (close == std::wstring::npos) return false;
                element.text += m_text.substr(start, close - start);
                m_at = close + 3;
            } else if (StartsAt(m_text, m_at, L"<?")) {
                if (!SkipPast(L"?>", 2)) return false;
            } else {
                // A declaration ("<!DOCTYPE") has no name: it is refused there.
                element.children.emplace_back();
                if (!Element(element.children.back(), depth + 1)) return false;
            }
        }
    }

    const std::wstring& m_text;
    size_t m_at = 0;
    size_t m_elements = 0;
};

}  // namespace

const XmlElement* XmlElement::Child(const std::wstring& local) const {
    for (const XmlElement& child : children) {
        if (child.localName == local) return &child;
    }
    return nullptr;
}

std::optional<XmlElement> ParseXml(const std::wstring& source) { return Reader(source).Document(); }

void AppendCodePoint(std::wstring& text, char32_t codePoint) {
    if (sizeof(wchar_t) == 2 && codePoint > 0xFFFF) {
        const char32_t offset = codePoint - 0x10000;
        text += static_cast<wchar_t>(0xD800 + (offset >> 10));
        text += static_cast<wchar_t>(0xDC00 + (offset & 0x3FF));
    } else {
        text += static_cast<wchar_t>(codePoint);
    }
}

namespace {

constexpr char32_t kReplacement = 0xFFFD;

std::wstring FromUtf16(const std::vector<uint8_t>& bytes, bool bigEndian) {
    std::vector<char16_t> units;
    for (size_t at = 2; at + 1 < bytes.size(); at += 2) {
        const uint8_t high = bigEndian ? bytes[at] : bytes[at + 1];
        const uint8_t low = bigEndian ? bytes[at + 1] : bytes[at];
        units.push_back(static_cast<char16_t>((high << 8) | low));
    }
    std::wstring text;
    for (size_t at = 0; at < units.size(); ++at) {
        const char16_t unit = units[at];
        if (unit >= 0xD800 && unit <= 0xDBFF && at + 1 < units.size() && units[at + 1] >= 0xDC00 &&
            units[at + 1] <= 0xDFFF) {
            AppendCodePoint(text, 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) + (units[at + 1] - 0xDC00));
            ++at;
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            AppendCodePoint(text, kReplacement);
        } else {
            text += static_cast<wchar_t>(unit);
        }
    }
    return text;
}

std::wstring FromUtf8(const std::vector<uint8_t>& bytes, size_t start) {
    std::wstring text;
    for (size_t at = start; at < bytes.size();) {
        const uint8_t lead = bytes[at];
        size_t length = 0;
        char32_t code = 0;
        char32_t least = 0;
        if (lead < 0x80) {
            length = 1, code = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            length = 2, code = lead & 0x1F, least = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3, code = lead & 0x0F, least = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4, code = lead & 0x07, least = 0x10000;
        }
        size_t taken = 1;
        while (length > 1 && taken < length && at + taken < bytes.size() && (bytes[at + taken] & 0xC0) == 0x80) {
            code = (code << 6) | (bytes[at + taken] & 0x3F);
            ++taken;
        }
        const bool whole = length != 0 && taken == length;
        // Overlong forms, surrogates and code points past Unicode are no text.
        const bool valid = whole && code >= least && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF);
        AppendCodePoint(text, valid ? code : kReplacement);
        at += taken;
    }
    return text;
}

}  // namespace

XmlEncoding EncodingOf(const std::vector<uint8_t>& bytes) {
    if (bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) return XmlEncoding::Utf16Little;
    if (bytes.size() >= 2 && bytes[0] == 0xFE && bytes[1] == 0xFF) return XmlEncoding::Utf16Big;
    if (bytes.size() >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) return XmlEncoding::Utf8WithMark;
    return XmlEncoding::Utf8;
}

std::optional<std::wstring> DecodeXmlBytes(const std::vector<uint8_t>& bytes) {
    switch (EncodingOf(bytes)) {
    case XmlEncoding::Utf16Little:
    case XmlEncoding::Utf16Big:
        if (bytes.size() % 2 != 0) return std::nullopt;
        return FromUtf16(bytes, EncodingOf(bytes) == XmlEncoding::Utf16Big);
    case XmlEncoding::Utf8WithMark: return FromUtf8(bytes, 3);
    case XmlEncoding::Utf8: break;
    }
    return FromUtf8(bytes, 0);
}

namespace {

// The code points of the platform's wide text (a surrogate pair one point
// where they are 16 bits; a lone surrogate U+FFFD).
std::vector<char32_t> CodePointsOf(const std::wstring& text) {
    std::vector<char32_t> points;
    for (size_t at = 0; at < text.size(); ++at) {
        const auto unit = static_cast<char32_t>(text[at]);
        if (unit >= 0xD800 && unit <= 0xDBFF && at + 1 < text.size() && static_cast<char32_t>(text[at + 1]) >= 0xDC00 &&
            static_cast<char32_t>(text[at + 1]) <= 0xDFFF) {
            points.push_back(0x10000 + ((unit - 0xD800) << 10) + (static_cast<char32_t>(text[++at]) - 0xDC00));
        } else {
            points.push_back(IsValidCodePoint(unit) || unit == 0 ? unit : kReplacement);
        }
    }
    return points;
}

}  // namespace

std::vector<uint8_t> EncodeXml(const std::wstring& text, XmlEncoding encoding) {
    std::vector<uint8_t> bytes;
    const bool sixteen = encoding == XmlEncoding::Utf16Little || encoding == XmlEncoding::Utf16Big;
    const auto unit = [&bytes, encoding](char32_t value) {
        const auto high = static_cast<uint8_t>(value >> 8);
        const auto low = static_cast<uint8_t>(value & 0xFF);
        if (encoding == XmlEncoding::Utf16Big) {
            bytes.insert(bytes.end(), {high, low});
        } else {
            bytes.insert(bytes.end(), {low, high});
        }
    };
    if (sixteen) unit(0xFEFF);
    if (encoding == XmlEncoding::Utf8WithMark) bytes.insert(bytes.end(), {0xEF, 0xBB, 0xBF});
    for (const char32_t point : CodePointsOf(text)) {
        if (sixteen) {
            if (point > 0xFFFF) {
                unit(0xD800 + ((point - 0x10000) >> 10));
                unit(0xDC00 + ((point - 0x10000) & 0x3FF));
            } else {
                unit(point);
            }
        } else if (point < 0x80) {
            bytes.push_back(static_cast<uint8_t>(point));
        } else if (point < 0x800) {
            bytes.insert(bytes.end(),
                         {static_cast<uint8_t>(0xC0 | (point >> 6)), static_cast<uint8_t>(0x80 | (point & 0x3F))});
        } else if (point < 0x10000) {
            bytes.insert(bytes.end(), {static_cast<uint8_t>(0xE0 | (point >> 12)),
                                       static_cast<uint8_t>(0x80 | ((point >> 6) & 0x3F)),
                                       static_cast<uint8_t>(0x80 | (point & 0x3F))});
        } else {
            bytes.insert(
                bytes.end(),
                {static_cast<uint8_t>(0xF0 | (point >> 18)), static_cast<uint8_t>(0x80 | ((point >> 12) & 0x3F)),
                 static_cast<uint8_t>(0x80 | ((point >> 6) & 0x3F)), static_cast<uint8_t>(0x80 | (point & 0x3F))});
        }
    }
    return bytes;
}
