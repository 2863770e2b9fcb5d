// Where the core's records and the SDK's structures meet: each record becomes its structure, and back, in one place.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include "platform/SystemCalls.h"

// The core's handles are 32-bit values: so are the SDK's on the target.
template <typename T>
T FromValue(uint32_t value) {
    return reinterpret_cast<T>(static_cast<uintptr_t>(value));
}
template <typename T>
uint32_t ToValue(T handle) {
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(handle));
}

// A LUID as one 64-bit value, the low half in the low bits, and back.
inline LUID ToSdk(uint64_t luid) {
    LUID sdk;
    sdk.LowPart = static_cast<DWORD>(luid);
    sdk.HighPart = static_cast<LONG>(static_cast<DWORD>(luid >> 32));
    return sdk;
}
inline uint64_t FromSdk(const LUID& luid) {
    return static_cast<uint64_t>(luid.LowPart) | static_cast<uint64_t>(static_cast<DWORD>(luid.HighPart)) << 32;
}

// The whole SDK structure, zero past the record's 88 bytes: cbSize tells the shell to read no further.
NOTIFYICONDATAA ToSdk(const NotifyIconRecord& record);

inline GUID ToSdk(const PowerGuid& guid) {
    GUID sdk;
    sdk.Data1 = guid.Data1;
    sdk.Data2 = guid.Data2;
    sdk.Data3 = guid.Data3;
    for (int i = 0; i < 8; ++i) sdk.Data4[i] = guid.Data4[i];
    return sdk;
}

// The fields the program reads of what CallNtPowerInformation wrote.
PowerCapabilitiesRecord FromSdk(const SYSTEM_POWER_CAPABILITIES& sdk);

// TOKEN_PRIVILEGES with room for Room entries, laid out and aligned as the system reads and writes it.
template <uint32_t Room>
struct SdkTokenPrivileges {
    DWORD PrivilegeCount;
    LUID_AND_ATTRIBUTES Privileges[Room];

    PTOKEN_PRIVILEGES Get() { return reinterpret_cast<PTOKEN_PRIVILEGES>(this); }
};

// The entries in use, the rest zero. False for a count beyond the room, which would have the system read past it.
template <uint32_t Room>
bool ToSdk(const TokenPrivilegesOf<Room>& record, SdkTokenPrivileges<Room>* sdk) {
    *sdk = {};
    if (record.PrivilegeCount > Room) return false;
    sdk->PrivilegeCount = record.PrivilegeCount;
    for (uint32_t i = 0; i < record.PrivilegeCount; ++i) {
        const LuidAndAttributes& entry = record.Privileges[i];
        sdk->Privileges[i].Luid = ToSdk(entry.Luid);
        sdk->Privileges[i].Attributes = entry.Attributes;
    }
    return true;
}

// The count as the system wrote it, and the entries it has room for.
template <uint32_t Room>
void FromSdk(const SdkTokenPrivileges<Room>& sdk, TokenPrivilegesOf<Room>* record) {
    *record = {};
    record->PrivilegeCount = sdk.PrivilegeCount;
    for (uint32_t i = 0; i < sdk.PrivilegeCount && i < Room; ++i) {
        const LUID_AND_ATTRIBUTES& entry = sdk.Privileges[i];
        record->Privileges[i].Luid = FromSdk(entry.Luid);
        record->Privileges[i].Attributes = entry.Attributes;
    }
}
