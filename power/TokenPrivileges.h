// Byte layout of the TOKEN_PRIVILEGES records handed to AdjustTokenPrivileges, and the values
// used to enable the shutdown privilege. The Win32 layer checks this layout against <windows.h>.
#pragma once

#include <cstddef>
#include <cstdint>

// Room for a count and two LUID_AND_ATTRIBUTES entries; only the first entry is used.
constexpr size_t kTokenPrivilegesRecordSize = 28;
constexpr size_t kTokenPrivilegesCountOffset = 0;
constexpr size_t kTokenPrivilegesEntriesOffset = 4;
constexpr size_t kLuidAndAttributesSize = 12;
constexpr size_t kLuidLowOffset = 0;
constexpr size_t kLuidHighOffset = 4;
constexpr size_t kLuidAttributesOffset = 8;

constexpr uint32_t kTokenAdjustPrivileges = 0x20;
constexpr uint32_t kTokenQuery = 0x08;
constexpr uint32_t kSePrivilegeEnabled = 0x2;
constexpr uint32_t kErrorNotAllAssigned = 1300;

constexpr const char* kShutdownPrivilegeName = "SeShutdownPrivilege";

// Length of a record holding `count` entries, as AdjustTokenPrivileges expects it.
constexpr uint32_t TokenPrivilegesLength(uint32_t count) {
    return static_cast<uint32_t>(kTokenPrivilegesEntriesOffset + kLuidAndAttributesSize * count);
}

// Little-endian, as on the target, whatever the host.
inline void PutU32(uint8_t* at, uint32_t value) {
    at[0] = static_cast<uint8_t>(value);
    at[1] = static_cast<uint8_t>(value >> 8);
    at[2] = static_cast<uint8_t>(value >> 16);
    at[3] = static_cast<uint8_t>(value >> 24);
}
