// Names an administrator blocks through Group Policy: every string value of
// HKLM\SOFTWARE\Policies\tarvemonix\BlockList, enforced like proc.dat's names
// and beside them; the user's editor never shows them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One value of the policy key, its text already in code page 936.
struct PolicyValue {
    uint32_t type = 0;  // the registry's value type (REG_SZ is 1)
    std::string text;
};

// The names to block, in order: REG_SZ values only, and none that could
// match what it should not (empty, longer than a process name, or holding a
// character the conversion to code page 936 lost).
std::vector<std::string> PolicyBlockNames(const std::vector<PolicyValue>& values);

// The access the key is opened with: a 32-bit program on 64-bit Windows
// (under WOW64) asks for the 64-bit view, where policies are written, not
// the redirected WOW6432Node.
uint32_t PolicyKeyAccess(bool runsUnderWow64);

// The policy's names as the registry holds them now; none when the key is
// missing or cannot be read.
std::vector<std::string> ReadPolicyBlockNames();
