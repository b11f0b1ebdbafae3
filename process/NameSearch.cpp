#include "process/NameSearch.h"

#include <algorithm>
#include <cstring>

using name_search::Fold;
using name_search::PairKey;

namespace {

std::string FoldedCopy(std::string_view text) {
    std::string folded(text);
    for (char& c : folded) c = static_cast<char>(Fold(c));
    return folded;
}

// Whether needle, folded, occurs in the already folded text.
bool ContainsFolded(const std::string& folded, std::string_view needle) {
    if (needle.size() > folded.size()) return false;
    const char first = static_cast<char>(Fold(needle[0]));
    const char* const begin = folded.data();
    const char* const lastStart = begin + (folded.size() - needle.size());
    for (const char* at = begin; at <= lastStart; ++at) {
        at = static_cast<const char*>(std::memchr(at, first, static_cast<size_t>(lastStart - at) + 1));
        if (at == nullptr) return false;
        size_t i = 1;
        while (i < needle.size() && static_cast<unsigned char>(at[i]) == Fold(needle[i])) ++i;
        if (i == needle.size()) return true;
    }
    return false;
}

}  // namespace

void NeedleTable::Level::Add(Entry entry) {
    const uint32_t hash = Hash(entry.key);
    bits[hash >> 6] |= uint64_t{1} << (hash & 63);
    buckets[hash >> 6].push_back(entry);
}

void NeedleTable::Level::Clear() {
    std::fill(bits.begin(), bits.end(), 0);
    for (std::vector<Entry>& bucket : buckets) bucket.clear();
}

void NeedleTable::Add(std::string_view needle) {
    const auto slot = static_cast<uint32_t>(folded_.size());
    folded_.push_back(FoldedCopy(needle));
    const std::string& folded = folded_.back();
    const size_t offset = AnchorOffset(folded.size());
    uint32_t key = 0;
    for (size_t i = offset; i < std::min(folded.size(), offset + 4); ++i) {
        key = key << 8 | static_cast<unsigned char>(folded[i]);
    }
    switch (folded.size()) {
    case 0: break;
    case 1: singles_.push_back({key, slot}); break;
    case 2: pairs_.Add({key, slot}); break;
    case 3: pairs_.Add({key >> 8, slot}); break;
    default: quads_.Add({key, slot}); break;
    }
}

void NeedleTable::Clear() {
    folded_.clear();
    singles_.clear();
    pairs_.Clear();
    quads_.Clear();
}

std::vector<size_t> NeedleTable::FoundSlots(std::string_view text) const {
    std::vector<size_t> slots;
    Search(text, [&](size_t slot) {
        slots.push_back(slot);
        return true;
    });
    std::sort(slots.begin(), slots.end());
    slots.erase(std::unique(slots.begin(), slots.end()), slots.end());
    return slots;
}

bool NeedleTable::AnyFound(std::string_view text) const {
    bool any = false;
    Search(text, [&](size_t) {
        any = true;
        return false;
    });
    return any;
}

TextTable::TextTable(const std::vector<std::string>& texts) {
    folded_.reserve(texts.size());
    for (const std::string& text : texts) folded_.push_back(FoldedCopy(text));
    words_ = (folded_.size() + 63) / 64;
    buckets_.assign(kBuckets * words_, 0);
    for (size_t index = 0; index < folded_.size(); ++index) {
        const std::string& folded = folded_[index];
        const uint64_t bit = uint64_t{1} << (index & 63);
        for (size_t position = 0; position + 1 < folded.size(); ++position) {
            const uint32_t key =
                PairKey(static_cast<unsigned char>(folded[position]), static_cast<unsigned char>(folded[position + 1]));
            buckets_[Bucket(key) * words_ + index / 64] |= bit;
        }
    }
}

bool TextTable::AnyContains(std::string_view needle) const {
    if (needle.empty()) return !folded_.empty();  // found in every text, even an empty one
    for (size_t word = 0; word < words_; ++word) {
        // The texts of this word that hold every folded pair of the needle.
        const size_t textsHere = std::min<size_t>(64, folded_.size() - word * 64);
        uint64_t candidates = textsHere == 64 ? ~uint64_t{0} : (uint64_t{1} << textsHere) - 1;
        for (size_t position = 0; candidates != 0 && position + 1 < needle.size(); ++position) {
            const uint32_t key = PairKey(Fold(needle[position]), Fold(needle[position + 1]));
            candidates &= buckets_[Bucket(key) * words_ + word];
        }
        for (size_t bit = 0; candidates != 0; ++bit, candidates >>= 1) {
            if ((candidates & 1) != 0 && ContainsFolded(folded_[word * 64 + bit], needle)) return true;
        }
    }
    return false;
}
