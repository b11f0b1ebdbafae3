// Many name tests at once, with the folding of ContainsNoCase: ASCII A-Z are
// folded byte by byte (also inside double-byte characters), every other byte
// is compared as it is.
//
// Testing one process name against a thousand block entries, or against every
// reference line, one ContainsNoCase at a time costs a search per pair. These
// tables fold their texts once and index them by short folded byte sequences,
// so a test only compares where a match can be.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace name_search {

constexpr std::array<unsigned char, 256> MakeFoldTable() {
    std::array<unsigned char, 256> table{};
    for (int byte = 0; byte < 256; ++byte) {
        table[byte] = static_cast<unsigned char>(byte >= 'A' && byte <= 'Z' ? byte + 0x20 : byte);
    }
    return table;
}

inline constexpr std::array<unsigned char, 256> kFold = MakeFoldTable();

inline unsigned char Fold(char c) { return kFold[static_cast<unsigned char>(c)]; }

inline uint32_t PairKey(unsigned char first, unsigned char second) { return (uint32_t{first} << 8) | second; }

}  // namespace name_search

// Needles added one by one, each with a slot (the number added before it);
// tells which of them occur in a text.
class NeedleTable {
public:
    // An empty needle gets its slot but is never found.
    void Add(std::string_view needle);
    void Clear();
    size_t size() const { return folded_.size(); }

    // Calls found(slot) for every occurrence of a needle in text (so a slot
    // may come more than once, in no set order) until found returns false.
    template <typename Found>
    void Search(std::string_view text, Found found) const;

    // The slots of the needles that occur in text, ascending, each once.
    std::vector<size_t> FoundSlots(std::string_view text) const;
    bool AnyFound(std::string_view text) const;

private:
    // A needle is found through its anchor: its first two bytes when it is
    // two or three bytes long, else four bytes at AnchorOffset. The anchor of
    // a longer needle is the part just before its last four bytes: in a
    // process name the end of the program's name before ".exe", which tells
    // names apart where their beginnings (a directory) and ends do not.
    struct Entry {
        uint32_t key;  // the anchor's bytes, folded, as a big-endian number
        uint32_t slot;
    };
    static size_t AnchorOffset(size_t length) { return length >= 8 ? length - 8 : 0; }
    // The needles of one anchor length, by hashed key.
    struct Level {
        static constexpr size_t kBuckets = 1024;
        std::vector<uint64_t> bits = std::vector<uint64_t>(65536 / 64);  // one bit per hashed key
        std::vector<std::vector<Entry>> buckets = std::vector<std::vector<Entry>>(kBuckets);

        static uint32_t Hash(uint32_t key) { return (key * 2654435761u) >> 16; }  // 16 bits
        void Add(Entry entry);
        void Clear();
        const std::vector<Entry>* Bucket(uint32_t key) const {
            const uint32_t hash = Hash(key);
            if (!(bits[hash >> 6] >> (hash & 63) & 1)) return nullptr;
            return &buckets[hash >> 6];
        }
    };

    template <typename Found>
    bool Visit(const Level& level, uint32_t key, std::string_view text, size_t position, Found& found) const;

    std::vector<std::string> folded_;
    std::vector<Entry> singles_;  // needles of one byte
    Level pairs_;                 // two-byte anchors: needles of two or three bytes
    Level quads_;                 // four-byte anchors: longer needles
};

// A fixed list of texts; tells whether a needle occurs in any of them.
class TextTable {
public:
    TextTable() = default;
    explicit TextTable(const std::vector<std::string>& texts);

    // The same answer as ContainsNoCase over each text until one holds.
    bool AnyContains(std::string_view needle) const;

private:
    static constexpr size_t kBuckets = 1024;
    static size_t Bucket(uint32_t key) { return (key * 2654435761u) >> 22; }

    std::vector<std::string> folded_;
    size_t words_ = 0;               // 64-bit words per bucket: one bit per text
    std::vector<uint64_t> buckets_;  // texts holding a folded pair of that bucket
};

// Visits the needles of level whose anchor is key and lies at position in
// text, when the whole needle occurs there; false when found asked to stop.
template <typename Found>
bool NeedleTable::Visit(const Level& level, uint32_t key, std::string_view text, size_t position, Found& found) const {
    const std::vector<Entry>* bucket = level.Bucket(key);
    if (bucket == nullptr) return true;
    for (const Entry& entry : *bucket) {
        if (entry.key != key) continue;
        const std::string& needle = folded_[entry.slot];
        const size_t offset = AnchorOffset(needle.size());
        if (offset > position || needle.size() - offset > text.size() - position) continue;
        const char* const start = text.data() + (position - offset);
        size_t i = 0;
        while (i < needle.size() && static_cast<unsigned char>(needle[i]) == name_search::Fold(start[i])) ++i;
        if (i == needle.size() && !found(size_t{entry.slot})) return false;
    }
    return true;
}

template <typename Found>
void NeedleTable::Search(std::string_view text, Found found) const {
    using name_search::Fold;
    const size_t length = text.size();
    // The four folded bytes from position on, zero past the end.
    uint32_t window = 0;
    for (size_t i = 0; i < 4; ++i) window = window << 8 | (i < length ? Fold(text[i]) : 0);
    for (size_t position = 0; position < length; ++position) {
        const size_t remaining = length - position;
        for (const Entry& single : singles_) {
            if (single.key == window >> 24 && !found(size_t{single.slot})) return;
        }
        if (remaining >= 2 && !Visit(pairs_, window >> 16, text, position, found)) return;
        if (remaining >= 4 && !Visit(quads_, window, text, position, found)) return;
        window = window << 8 | (position + 4 < length ? Fold(text[position + 4]) : 0);
    }
}
