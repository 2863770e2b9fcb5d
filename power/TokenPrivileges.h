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
// A privilege taken out of the token for good: listed, perhaps, but no longer held.
constexpr uint32_t kSePrivilegeRemoved = 0x4;
// TOKEN_INFORMATION_CLASS TokenPrivileges: GetTokenInformation fills a TOKEN_PRIVILEGES record of every privilege.
constexpr uint32_t kTokenPrivilegesClass = 3;

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

inline uint32_t GetU32(const uint8_t* at) {
    return static_cast<uint32_t>(at[0]) | static_cast<uint32_t>(at[1]) << 8 | static_cast<uint32_t>(at[2]) << 16 |
           static_cast<uint32_t>(at[3]) << 24;
}
