// Wine's per-process GDI handle table, which the tests and the soak count
// because Wine's GetGuiResources is a stub.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "framework/SystemFunction.h"

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

// The address of a process's environment block, in that process (from ntdll's
// basic process information); null when the system does not tell.
inline const uint8_t* ProcessEnvironmentBlockOf(HANDLE process) {
    struct BasicInformation {
        LONG exitStatus;
        void* environmentBlock;
        ULONG_PTR affinityMask;
        LONG basePriority;
        ULONG_PTR processId;
        ULONG_PTR parentProcessId;
    };
    using QueryInformation = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);
    const auto query = FindSystemFunction<QueryInformation>(L"ntdll.dll", "NtQueryInformationProcess");
    BasicInformation information{};
    if (!query || query(process, 0, &information, sizeof(information), nullptr) != 0) return nullptr;
    return static_cast<const uint8_t*>(information.environmentBlock);
}
