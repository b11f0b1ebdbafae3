// Wine's per-process GDI handle table, which the tests and the soak count
// because Wine's GetGuiResources is a stub.
#pragma once

#include <cstddef>
#include <cstdint>

// One entry of the table as Wine lays it out (the same in 32- and 64-bit
// processes); an entry with a type is in use.
#pragma pack(push, 1)
struct GdiTableEntry {
    uint64_t object;
    uint32_t owner;
    uint16_t unique;
    uint8_t type;
    uint8_t flags;
    uint64_t userPointer;
};
#pragma pack(pop)
static_assert(sizeof(GdiTableEntry) == 24, "GDI table entry layout");

constexpr int kGdiTableEntries = 0x10000;

// Where the process environment block holds the table's address.
constexpr size_t GdiTableOffset(bool process64) { return process64 ? 0xF8 : 0x94; }
