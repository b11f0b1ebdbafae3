// Many name tests at once, with the folding of ContainsNoCase: ASCII A-Z are
// folded byte by byte (also inside double-byte characters), every other byte
// is compared as it is.
//
// Testing one process name against a thousand block entries, or against every
// reference line, one ContainsNoCase at a time costs a search per pair. These
// tables fold their texts once and index them by their folded two-byte
// sequences, so a test only searches where a match can start.
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
    NeedleTable();

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
    struct Entry {
        uint32_t key;   // the folded first two bytes
        uint32_t slot;
    };
    static constexpr size_t kBuckets = 1024;
    static size_t Bucket(uint32_t key) { return (key * 2654435761u) >> 22; }  // top 10 bits
    bool RestMatches(std::string_view text, size_t position, const std::string& folded) const;

    std::vector<std::string> folded_;
    std::vector<Entry> singles_;  // one-byte needles
    std::vector<uint64_t> starts_;  // bit per folded two-byte start of a needle
    std::vector<std::vector<Entry>> buckets_;
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

template <typename Found>
void NeedleTable::Search(std::string_view text, Found found) const {
    using name_search::Fold;
    const size_t length = text.size();
    for (size_t position = 0; position < length; ++position) {
        const unsigned char first = Fold(text[position]);
        for (const Entry& single : singles_) {
            if (single.key == first && !found(size_t{single.slot})) return;
        }
        if (position + 1 >= length) break;
        const uint32_t key = name_search::PairKey(first, Fold(text[position + 1]));
        if (!(starts_[key >> 6] >> (key & 63) & 1)) continue;
        for (const Entry& entry : buckets_[Bucket(key)]) {
            if (entry.key == key && RestMatches(text, position, folded_[entry.slot]) &&
                !found(size_t{entry.slot})) {
                return;
            }
        }
    }
}

inline bool NeedleTable::RestMatches(std::string_view text, size_t position, const std::string& folded) const {
    if (folded.size() > text.size() - position) return false;
    for (size_t i = 2; i < folded.size(); ++i) {
        if (static_cast<unsigned char>(folded[i]) != name_search::Fold(text[position + i])) return false;
    }
    return true;
}
