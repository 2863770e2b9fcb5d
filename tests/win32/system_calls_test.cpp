// Win32SystemCalls on a real (or Wine) system: binding on first use, soft failure of missing
// functions, and the records and values reaching the system as the SDK lays them out.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "win32/BoundFunctions.h"
#include "win32/SdkRecords.h"
#include "win32/Win32SystemCalls.h"
#include "shell/TrayRecord.h"

namespace {

// System calls bound through a table of their own, whose names a test may change: which functions were looked up,
// and a function looked up under another name, which is how one missing from the system behaves.
struct OwnTable {
    OwnTable() {
        for (int f = 0; f < kBoundFunctionCount; ++f) ownNames[f] = kBoundFunctionNames[f];
    }
    BoundFunctionName ownNames[kBoundFunctionCount];
    BoundFunctionTable ownTable{ownNames};
};

// A base listed first is made first: the table exists before the calls bind through it.
class InspectedSystemCalls : private OwnTable, public Win32SystemCalls {
public:
    InspectedSystemCalls() : Win32SystemCalls(ownTable) {}
    // Looks `entry` up as `replacementEntry` in `library` instead; false when no listed function has that name.
    // Only before the function's first use: the table keeps what it found.
    bool RedirectEntry(const char* entry, const char* library, const char* replacementEntry) {
        const int f = Find(entry);
        if (f < 0 || ownTable.LookedUp(static_cast<BoundFunction>(f))) return false;
        ownNames[f] = {library, replacementEntry};
        return true;
    }
    bool IsLookedUp(const char* entry) const {
        const int f = Find(entry);
        return f >= 0 && ownTable.LookedUp(static_cast<BoundFunction>(f));
    }
    bool IsFound(const char* entry) {
        const int f = Find(entry);
        uint32_t error = 0;
        return IsLookedUp(entry) && ownTable.Address(static_cast<BoundFunction>(f), &error) != nullptr;
    }

private:
    static int Find(const char* entry) {
        for (int f = 0; f < kBoundFunctionCount; ++f) {
            if (std::strcmp(kBoundFunctionNames[f].entry, entry) == 0) return f;
        }
        return -1;
    }
};

// Calls that are harmless to make for real; ExitWindowsEx is left out on purpose: it would end the
// Wine session the tests run in.
struct SafeCall {
    const char* entry;
    std::function<void(InspectedSystemCalls&)> call;
};

const SafeCall kSafeCalls[] = {
    {"GetCurrentProcess", [](InspectedSystemCalls& s) { s.GetCurrentProcess(); }},
    {"CloseHandle", [](InspectedSystemCalls& s) { s.CloseHandle(0); }},
    {"GetSystemDirectoryW", [](InspectedSystemCalls& s) { char b[MAX_PATH]; s.GetSystemDirectoryUtf8(b, MAX_PATH); }},
    {"GetDesktopWindow", [](InspectedSystemCalls& s) { s.GetDesktopWindow(); }},
    {"GetDC", [](InspectedSystemCalls& s) { s.ReleaseDC(0, s.GetDC(0).value); }},
    {"LookupPrivilegeValueA", [](InspectedSystemCalls& s) { uint64_t l; s.LookupPrivilegeValueA("", "SeShutdownPrivilege", &l); }},
    {"SetThreadExecutionState", [](InspectedSystemCalls& s) { s.SetThreadExecutionState(kEsContinuous); }},
    {"GetTokenInformation", [](InspectedSystemCalls& s) { uint32_t n; s.GetTokenInformation(0, kTokenPrivilegesClass, nullptr, 0, &n); }},
    {"IsPwrHibernateAllowed", [](InspectedSystemCalls& s) { bool b; s.IsPwrHibernateAllowed(&b); }},
    {"WaitForSingleObject", [](InspectedSystemCalls& s) { s.WaitForSingleObject(0xFFFFFFFF, 0); }},
    {"GetExitCodeProcess", [](InspectedSystemCalls& s) { uint32_t c; s.GetExitCodeProcess(0xFFFFFFFF, &c); }},
};

TEST(Win32SystemCalls, EachFunctionIsLookedUpOnFirstUseOnly) {
    for (const SafeCall& c : kSafeCalls) {
        SCOPED_TRACE(c.entry);
        InspectedSystemCalls sys;
        for (const BoundFunctionName& n : kBoundFunctionNames) ASSERT_FALSE(sys.IsLookedUp(n.entry)) << n.entry;
        c.call(sys);
        EXPECT_TRUE(sys.IsLookedUp(c.entry));
        EXPECT_TRUE(sys.IsFound(c.entry));
        // Nothing else was touched, and ExitWindowsEx least of all.
        for (const BoundFunctionName& n : kBoundFunctionNames) {
            if (std::strcmp(n.entry, c.entry) != 0 && std::strcmp(n.entry, "ReleaseDC") != 0) {
                EXPECT_FALSE(sys.IsLookedUp(n.entry)) << n.entry;
            }
        }
    }
}

const char* const kSince[] = {  // the Windows each listed function came with, "" for XP's
#define TARVEIL_SINCE(library, entry, type, since) since,
    TARVEIL_BOUND_FUNCTIONS(TARVEIL_SINCE)
#undef TARVEIL_SINCE
};

// Each listed function exists under its library and entry name, and the process-wide table gives the address
// the system's own look-up gives: a wrong library or a misspelt entry shows here.
TEST(BoundFunctions, EachListedFunctionIsTheSystemsOwn) {
    for (int f = 0; f < kBoundFunctionCount; ++f) {
        const BoundFunctionName& n = kBoundFunctionNames[f];
        SCOPED_TRACE(n.entry);
        HMODULE module = ::LoadLibraryA(n.library);
        ASSERT_NE(module, nullptr) << n.library;
        void* expected = reinterpret_cast<void*>(::GetProcAddress(module, n.entry));
        if (expected == nullptr && *kSince[f] != '\0') continue;  // one after XP this system lacks (Wine 8's PowerRead*)
        ASSERT_NE(expected, nullptr);
        for (int call = 0; call < 2; ++call) {
            uint32_t error = ERROR_NOT_ALL_ASSIGNED;
            EXPECT_EQ(SystemFunctions().Address(static_cast<BoundFunction>(f), &error), expected);
            EXPECT_EQ(error, 0u);
        }
    }
}

TEST(Win32SystemCalls, BoundFunctionsGiveTheSystemsAnswers) {
    InspectedSystemCalls sys;
    EXPECT_EQ(sys.GetCurrentProcess(), 0xFFFFFFFFu);  // the process pseudo-handle
    EXPECT_EQ(sys.GetDesktopWindow(), static_cast<uint32_t>(reinterpret_cast<uintptr_t>(::GetDesktopWindow())));
    uint64_t luid = 0;
    ASSERT_TRUE(sys.LookupPrivilegeValueA("", "SeShutdownPrivilege", &luid));
    LUID real;
    ASSERT_TRUE(::LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &real));
    EXPECT_EQ(luid, static_cast<uint64_t>(real.LowPart) | static_cast<uint64_t>(real.HighPart) << 32);
    EXPECT_FALSE(sys.LookupPrivilegeValueA("", "SeNoSuchPrivilegeAtAll", &luid));
}

// Each answer carries the error of its own call, read right after it: not one left before it, nor one its first
// look-up left. SetWaitableTimer and AdjustTokenPrivileges answer their success with theirs too.
TEST(Win32SystemCalls, EachAnswerCarriesItsOwnCallsError) {
    const struct {
        const char* label;
        std::function<SystemAnswer(InspectedSystemCalls&)> call;
        SystemAnswer expected;
    } rows[] = {
        {"a handle that is none", [](InspectedSystemCalls& s) { return s.CloseHandle(0); }, {0, ERROR_INVALID_HANDLE}},
        {"a wait on no handle", [](InspectedSystemCalls& s) { return s.WaitForSingleObject(0, 0); },
         {kWaitFailed, ERROR_INVALID_HANDLE}},
        {"a timer set without resume: nothing to say",
         [](InspectedSystemCalls& s) {
             SystemHandle timer(s);
             if (!s.CreateWaitableTimerW(false, &timer)) return SystemAnswer{7, 7};
             ::SetLastError(ERROR_NOT_SUPPORTED);
             return s.SetWaitableTimer(timer.Get(), -10000000, 0, false);
         },
         {1, 0}},
        {"the privilege the token holds enabled: a full success",
         [](InspectedSystemCalls& s) {
             SystemHandle token(s);
             TokenPrivilegesRecord state;
             state.PrivilegeCount = 1;
             if (!s.OpenProcessToken(s.GetCurrentProcess(), kTokenAdjustPrivileges | kTokenQuery, &token) ||
                 !s.LookupPrivilegeValueA("", kShutdownPrivilegeName, &state.Privileges[0].Luid)) {
                 return SystemAnswer{7, 7};
             }
             state.Privileges[0].Attributes = kSePrivilegeEnabled;
             ::SetLastError(ERROR_NOT_ALL_ASSIGNED);
             return s.AdjustTokenPrivileges(token.Get(), false, &state, TokenPrivilegesLength(1), nullptr, nullptr);
         },
         {1, 0}},
    };
    for (const auto& row : rows) {
        InspectedSystemCalls sys;
        ::SetLastError(ERROR_NOT_ALL_ASSIGNED);
        const SystemAnswer answer = row.call(sys);
        EXPECT_EQ(row.expected.value, answer.value) << row.label;
        EXPECT_EQ(row.expected.error, answer.error) << row.label;
    }
}

// Whether `answer` is the failure `failed`, its error in *error.
bool FailsWith(const SystemAnswer& answer, uint32_t* error, uint32_t failed = 0) {
    *error = answer.error;
    return answer.value == failed;
}

struct MissingCase {
    const char* entry;
    const char* library;
    DWORD error;
    std::function<bool(InspectedSystemCalls&, uint32_t*)> callFails;
};

using S = InspectedSystemCalls;

const MissingCase kMissing[] = {
    {"SetSystemPowerState", "kernel32.dll", ERROR_PROC_NOT_FOUND,
     [](S& s, uint32_t* e) { return FailsWith(s.SetSystemPowerState(false, false), e); }},
    {"ExitWindowsEx", "user32.dll", ERROR_PROC_NOT_FOUND,
     [](S& s, uint32_t* e) { return FailsWith(s.ExitWindowsEx(13, 0), e); }},
    {"ExitWindowsEx", "tarveil_no_such_library.dll", ERROR_MOD_NOT_FOUND,
     [](S& s, uint32_t* e) { return FailsWith(s.ExitWindowsEx(13, 0), e); }},
    // It cannot fail on any Windows: it has no error to give, only 0.
    {"GetCurrentProcess", "kernel32.dll", 0, [](S& s, uint32_t* e) { *e = 0; return s.GetCurrentProcess() == 0; }},
    {"OpenProcessToken", "advapi32.dll", ERROR_PROC_NOT_FOUND, [](S& s, uint32_t* e) {
         SystemHandle t(s);
         return FailsWith(s.OpenProcessToken(s.GetCurrentProcess(), 0x28, &t), e) && t.Get() == 0;
     }},
    {"GetSystemDirectoryW", "kernel32.dll", ERROR_PROC_NOT_FOUND,
     [](S& s, uint32_t* e) { char b[MAX_PATH]; return FailsWith(s.GetSystemDirectoryUtf8(b, MAX_PATH), e); }},
    {"CreateProcessW", "kernel32.dll", ERROR_PROC_NOT_FOUND, [](S& s, uint32_t* e) {
         SystemHandle process(s);
         return FailsWith(s.CreateProcessUtf8("C:\\windows\\system32\\cmd.exe", "cmd /c exit", 2, &process), e) &&
                process.Get() == 0;
     }},
    {"WaitForSingleObject", "kernel32.dll", ERROR_PROC_NOT_FOUND,
     [](S& s, uint32_t* e) { return FailsWith(s.WaitForSingleObject(0xFFFFFFFF, 0), e, kWaitFailed); }},
    {"GetExitCodeProcess", "kernel32.dll", ERROR_PROC_NOT_FOUND,
     [](S& s, uint32_t* e) { uint32_t c; return FailsWith(s.GetExitCodeProcess(0xFFFFFFFF, &c), e); }},
    {"Shell_NotifyIconA", "shell32.dll", ERROR_PROC_NOT_FOUND,
     [](S& s, uint32_t* e) { NotifyIconRecord r; r.cbSize = 88; return FailsWith(s.Shell_NotifyIconA(0, &r), e); }},
    {"BitBlt", "tarveil_no_such_library.dll", ERROR_MOD_NOT_FOUND,
     [](S& s, uint32_t* e) { return FailsWith(s.BitBlt(0, 0, 0, 1, 1, 0, 0, 0, SRCCOPY), e); }},
    {"ReleaseDC", "user32.dll", ERROR_PROC_NOT_FOUND,
     [](S& s, uint32_t* e) { return FailsWith(s.ReleaseDC(0, 0), e); }},
    {"SetThreadExecutionState", "kernel32.dll", ERROR_PROC_NOT_FOUND,
     [](S& s, uint32_t* e) { return FailsWith(s.SetThreadExecutionState(kEsContinuous), e); }},
    {"GetTokenInformation", "advapi32.dll", ERROR_PROC_NOT_FOUND, [](S& s, uint32_t* e) {
         TokenPrivilegesList r;
         uint32_t n;
         return FailsWith(s.GetTokenInformation(0, 3, &r, 64, &n), e);
     }},
    // Cannot be had: said as "not asked", the answer left as it was, for the core to decide.
    {"IsPwrHibernateAllowed", "powrprof.dll", ERROR_PROC_NOT_FOUND,
     [](S& s, uint32_t* e) { bool b = true; return FailsWith(s.IsPwrHibernateAllowed(&b), e) && b; }},
    {"IsPwrHibernateAllowed", "tarveil_no_such_library.dll", ERROR_MOD_NOT_FOUND,
     [](S& s, uint32_t* e) { bool b = false; return FailsWith(s.IsPwrHibernateAllowed(&b), e) && !b; }},
};

TEST(Win32SystemCalls, AMissingFunctionFailsSoftlyWithAnError) {
    for (const MissingCase& c : kMissing) {
        SCOPED_TRACE(std::string(c.entry) + " in " + c.library);
        InspectedSystemCalls sys;
        ASSERT_TRUE(sys.RedirectEntry(c.entry, c.library, "TarveilNoSuchEntry"));
        uint32_t error = 12345;
        EXPECT_TRUE(c.callFails(sys, &error));
        EXPECT_TRUE(sys.IsLookedUp(c.entry));
        EXPECT_FALSE(sys.IsFound(c.entry));
        EXPECT_EQ(error, c.error);
        // Every later call fails the same way, without looking up again.
        error = 12345;
        EXPECT_TRUE(c.callFails(sys, &error));
        EXPECT_EQ(error, c.error);
    }
    InspectedSystemCalls sys;
    EXPECT_FALSE(sys.RedirectEntry("NotASystemCall", "kernel32.dll", "GetTickCount"));
}

TEST(Win32SystemCalls, GetSystemDirectoryGivesTheRealFolder) {
    InspectedSystemCalls sys;
    char dir[MAX_PATH];
    const uint32_t n = sys.GetSystemDirectoryUtf8(dir, MAX_PATH).value;
    ASSERT_GT(n, 3u);
    ASSERT_LT(n, static_cast<uint32_t>(MAX_PATH));
    EXPECT_EQ(std::strlen(dir), n);
    char real[MAX_PATH];
    ASSERT_EQ(::GetSystemDirectoryA(real, MAX_PATH), n);
    EXPECT_STREQ(dir, real);
    const DWORD attributes = ::GetFileAttributesA(dir);
    ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_NE(::GetFileAttributesA((std::string(dir) + "\\kernel32.dll").c_str()), INVALID_FILE_ATTRIBUTES);

    // Too small a buffer: the size needed comes back, as from the system itself.
    char small[4] = {'?', '?', '?', '?'};
    EXPECT_EQ(sys.GetSystemDirectoryUtf8(small, sizeof small).value, n + 1);
    EXPECT_EQ(sys.GetSystemDirectoryUtf8(dir, n).value, n + 1);
    EXPECT_EQ(sys.GetSystemDirectoryUtf8(dir, n + 1).value, n);
}

std::wstring TempDir() {
    wchar_t buf[MAX_PATH];
    const DWORD n = ::GetTempPathW(MAX_PATH, buf);
    return std::wstring(buf, n);
}

std::string Utf8(const std::wstring& w) {
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, &s[0], n, nullptr, nullptr);
    s.resize(static_cast<size_t>(n) - 1);
    return s;
}

bool WaitForFile(const std::wstring& path) {
    for (int i = 0; i < 200; ++i) {
        if (::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
        ::Sleep(50);
    }
    return false;
}

TEST(Win32SystemCalls, CreateProcessRunsTheNamedProgramWithTheUtf8CommandLine) {
    InspectedSystemCalls sys;
    char dir[MAX_PATH];
    ASSERT_GT(sys.GetSystemDirectoryUtf8(dir, MAX_PATH).value, 0u);
    const std::string cmd = std::string(dir) + "\\cmd.exe";
    // The é in the file name only survives if the command line is converted from UTF-8 properly.
    const std::wstring file = TempDir() + L"tarveil_cr\u00e9ation_" + std::to_wstring(::GetCurrentProcessId()) + L".txt";
    ::DeleteFileW(file.c_str());
    const std::string line = "cmd /c echo ok>\"" + Utf8(file) + "\"";
    ASSERT_TRUE(sys.CreateProcessUtf8(cmd.c_str(), line.c_str(), SW_SHOWMINIMIZED, nullptr));
    EXPECT_TRUE(WaitForFile(file));
    ::Sleep(200);
    ::DeleteFileW(file.c_str());

    const SystemAnswer missing =
        sys.CreateProcessUtf8((std::string(dir) + "\\tarveil_no_such_program.exe").c_str(), "x", 2, nullptr);
    EXPECT_FALSE(missing);
    EXPECT_EQ(missing.error, static_cast<uint32_t>(ERROR_FILE_NOT_FOUND));
}

// The restart's watch through the layer: the started program's handle, never waited on for more than asked, tells
// when it has ended and with which code; this process, running, is not signalled and reads as STILL_ACTIVE.
TEST(Win32SystemCalls, AStartedProgramsHandleSaysWhenItEndedAndWithWhatCode) {
    InspectedSystemCalls sys;
    char dir[MAX_PATH];
    ASSERT_GT(sys.GetSystemDirectoryUtf8(dir, MAX_PATH).value, 0u);
    const std::string cmd = std::string(dir) + "\\cmd.exe";
    for (uint32_t code : {0u, 1u, 5u}) {
        SCOPED_TRACE(code);
        SystemHandle process(sys);
        ASSERT_TRUE(sys.CreateProcessUtf8(cmd.c_str(), ("cmd /c exit " + std::to_string(code)).c_str(),
                                          SW_SHOWMINIMIZED, &process));
        ASSERT_NE(process.Get(), 0u);
        EXPECT_EQ(sys.WaitForSingleObject(process.Get(), 30000).value, kWaitObject0);
        uint32_t exitCode = 12345;
        EXPECT_TRUE(sys.GetExitCodeProcess(process.Get(), &exitCode));
        EXPECT_EQ(exitCode, code);
    }
    const uint32_t self = sys.GetCurrentProcess();
    EXPECT_EQ(sys.WaitForSingleObject(self, 0).value, kWaitTimeout);
    uint32_t exitCode = 0;
    EXPECT_TRUE(sys.GetExitCodeProcess(self, &exitCode));
    EXPECT_EQ(exitCode, kStillActive);
}

// The core's record, handed over through the layer, really enables the privilege.
TEST(Win32SystemCalls, TokenPrivilegesRecordEnablesTheShutdownPrivilege) {
    InspectedSystemCalls sys;
    SystemHandle token(sys);
    ASSERT_TRUE(sys.OpenProcessToken(sys.GetCurrentProcess(), kTokenAdjustPrivileges | kTokenQuery, &token));
    ASSERT_NE(token.Get(), 0u);
    uint64_t luid = 0;
    ASSERT_TRUE(sys.LookupPrivilegeValueA("", kShutdownPrivilegeName, &luid));

    struct Step {
        uint32_t attributes;
        bool enabledAfter;
    } const steps[] = {{0, false}, {kSePrivilegeEnabled, true}, {0, false}};
    for (const Step& step : steps) {
        SCOPED_TRACE(step.attributes);
        TokenPrivilegesRecord newState, previous;
        newState.PrivilegeCount = 1;
        newState.Privileges[0] = {luid, step.attributes};
        uint32_t returned = 0;
        const SystemAnswer adjusted =
            sys.AdjustTokenPrivileges(token.Get(), false, &newState, TokenPrivilegesLength(1), &previous, &returned);
        ASSERT_TRUE(adjusted);
        EXPECT_EQ(adjusted.error, 0u);

        PRIVILEGE_SET set;
        set.PrivilegeCount = 1;
        set.Control = PRIVILEGE_SET_ALL_NECESSARY;
        set.Privilege[0].Luid.LowPart = static_cast<DWORD>(luid);
        set.Privilege[0].Luid.HighPart = static_cast<LONG>(luid >> 32);
        set.Privilege[0].Attributes = 0;
        BOOL held = FALSE;
        ASSERT_TRUE(::PrivilegeCheck(FromValue<HANDLE>(token.Get()), &set, &held));
        EXPECT_EQ(held != FALSE, step.enabledAfter);
    }
}

TEST(Win32SystemCalls, BitBltCopiesBetweenDeviceContexts) {
    InspectedSystemCalls sys;
    const uint32_t screen = sys.GetDC(0).value;
    ASSERT_NE(screen, 0u);
    HDC screenDC = reinterpret_cast<HDC>(static_cast<uintptr_t>(screen));
    HDC src = ::CreateCompatibleDC(screenDC);
    HDC dst = ::CreateCompatibleDC(screenDC);
    HBITMAP srcBmp = ::CreateCompatibleBitmap(screenDC, 8, 8);
    HBITMAP dstBmp = ::CreateCompatibleBitmap(screenDC, 8, 8);
    HGDIOBJ oldSrc = ::SelectObject(src, srcBmp);
    HGDIOBJ oldDst = ::SelectObject(dst, dstBmp);
    const COLORREF colours[] = {RGB(255, 0, 0), RGB(0, 128, 255)};
    for (COLORREF colour : colours) {
        ::SetPixel(src, 5, 6, colour);
        ::SetPixel(dst, 1, 2, RGB(0, 0, 0));
        EXPECT_TRUE(sys.BitBlt(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(dst)), 1, 2, 1, 1,
                               static_cast<uint32_t>(reinterpret_cast<uintptr_t>(src)), 5, 6, SRCCOPY));
        EXPECT_EQ(::GetPixel(dst, 1, 2), colour);
    }
    ::SelectObject(src, oldSrc);
    ::SelectObject(dst, oldDst);
    ::DeleteObject(srcBmp);
    ::DeleteObject(dstBmp);
    ::DeleteDC(src);
    ::DeleteDC(dst);
    EXPECT_EQ(sys.ReleaseDC(0, screen).value, 1u);
}

// What the arming checks read, through the layer: the token's privileges as the core's list, whether hibernation is
// allowed, and the thread's execution state.
TEST(Win32SystemCalls, ArmingChecksGetTheSystemsAnswers) {
    InspectedSystemCalls sys;
    SystemHandle token(sys);
    ASSERT_TRUE(sys.OpenProcessToken(sys.GetCurrentProcess(), kTokenQuery, &token));
    TokenPrivilegesList list;
    uint32_t length = 0;
    ASSERT_TRUE(sys.GetTokenInformation(token.Get(), kTokenPrivilegesClass, &list, TokenPrivilegesLength(list.kRoom),
                                        &length));
    SdkTokenPrivileges<TokenPrivilegesList::kRoom> real = {};
    DWORD realLength = 0;
    ASSERT_TRUE(::GetTokenInformation(FromValue<HANDLE>(token.Get()), TokenPrivileges, &real, sizeof real, &realLength));
    ASSERT_EQ(length, realLength);
    ASSERT_EQ(list.PrivilegeCount, real.PrivilegeCount);
    EXPECT_EQ(TokenPrivilegesLength(list.PrivilegeCount), length);
    for (uint32_t i = 0; i < list.PrivilegeCount; ++i) {
        EXPECT_EQ(static_cast<uint32_t>(list.Privileges[i].Luid), real.Privileges[i].Luid.LowPart);
        EXPECT_EQ(list.Privileges[i].Attributes, real.Privileges[i].Attributes);
    }
    // Too small a buffer: refused, with the size needed.
    const SystemAnswer tooSmall = sys.GetTokenInformation(token.Get(), kTokenPrivilegesClass, &list, 8, &length);
    EXPECT_FALSE(tooSmall);
    EXPECT_EQ(tooSmall.error, static_cast<uint32_t>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(length, realLength);

    using HibernateAllowed = BOOLEAN(WINAPI*)();
    void* own = reinterpret_cast<void*>(::GetProcAddress(::LoadLibraryA("powrprof.dll"), "IsPwrHibernateAllowed"));
    ASSERT_NE(own, nullptr);
    const bool answer = reinterpret_cast<HibernateAllowed>(own)() != FALSE;
    bool allowed = !answer;
    ASSERT_TRUE(sys.IsPwrHibernateAllowed(&allowed));
    EXPECT_EQ(allowed, answer);

    // Each call gives back the state the one before it set.
    sys.SetThreadExecutionState(kEsContinuous);
    EXPECT_EQ(sys.SetThreadExecutionState(kEsContinuous | kEsSystemRequired).value, kEsContinuous);
    EXPECT_EQ(sys.SetThreadExecutionState(kEsContinuous).value, kEsContinuous | kEsSystemRequired);
}

std::wstring ModuleFolder(HMODULE module) {
    wchar_t path[MAX_PATH];
    const DWORD n = ::GetModuleFileNameW(module, path, MAX_PATH);
    std::wstring p(path, n);
    return p.substr(0, p.find_last_of(L'\\'));
}

bool SameFolder(std::wstring a, std::wstring b) {
    return ::CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, a.c_str(), -1, b.c_str(), -1) == CSTR_EQUAL;
}

// Every library is the system folder's: a listed function lives in a module loaded from there, and a library beside
// the program (tarveil_planted.dll, built next to this test) is never used, not even once the process holds it.
TEST(BoundFunctions, LibrariesComeFromTheSystemFolderOnly) {
    wchar_t system[MAX_PATH];
    const UINT n = ::GetSystemDirectoryW(system, MAX_PATH);
    ASSERT_GT(n, 0u);
    for (int f = 0; f < kBoundFunctionCount; ++f) {
        SCOPED_TRACE(kBoundFunctionNames[f].entry);
        uint32_t error = 0;
        void* address = SystemFunctions().Address(static_cast<BoundFunction>(f), &error);
        if (address == nullptr && *kSince[f] != '\0') continue;  // missing here, as above
        ASSERT_NE(address, nullptr);
        HMODULE module = nullptr;
        ASSERT_TRUE(::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                         static_cast<LPCWSTR>(address), &module));
        EXPECT_TRUE(SameFolder(ModuleFolder(module), std::wstring(system, n)));
    }

    const wchar_t planted[] = L"tarveil_planted.dll";
    ASSERT_EQ(::GetModuleHandleW(planted), nullptr);
    for (bool heldByTheProcess : {false, true}) {
        SCOPED_TRACE(heldByTheProcess ? "planted library already loaded" : "planted library not loaded");
        HMODULE held = nullptr;
        if (heldByTheProcess) {
            // By bare name it is found, beside the program: the plant is within a bare name's reach.
            held = ::LoadLibraryW(planted);
            ASSERT_NE(held, nullptr);
            ASSERT_NE(::GetProcAddress(held, "IsPwrHibernateAllowed"), nullptr);
        }
        InspectedSystemCalls sys;
        ASSERT_TRUE(sys.RedirectEntry("IsPwrHibernateAllowed", "tarveil_planted.dll", "IsPwrHibernateAllowed"));
        bool allowed = true;
        const SystemAnswer asked = sys.IsPwrHibernateAllowed(&allowed);
        EXPECT_FALSE(asked);
        EXPECT_TRUE(allowed);
        EXPECT_EQ(asked.error, static_cast<uint32_t>(ERROR_MOD_NOT_FOUND));
        EXPECT_EQ(::GetModuleHandleW(planted), held);
        if (held) ::FreeLibrary(held);
    }
    EXPECT_EQ(::GetModuleHandleW(planted), nullptr);
}

std::string HexBytes(const void* data, size_t size) {
    std::string hex;
    char two[3];
    for (size_t i = 0; i < size; ++i) {
        std::snprintf(two, sizeof two, "%02x", static_cast<const unsigned char*>(data)[i]);
        hex += two;
    }
    return hex;
}

// `hex` followed by zero bytes up to `size` bytes in all.
std::string ZeroTo(const std::string& hex, size_t size) {
    return hex + std::string(2 * size - hex.size(), '0');
}

std::string SdkBytes(const NotifyIconRecord& record) {
    const NOTIFYICONDATAA sdk = ToSdk(record);
    return HexBytes(&sdk, sizeof sdk);
}

std::string SdkBytes(const TokenPrivilegesRecord& record) {
    SdkTokenPrivileges<TokenPrivilegesRecord::kRoom> sdk;
    return ToSdk(record, &sdk) ? HexBytes(&sdk, sizeof sdk) : "refused";
}

// Each record as the core fills it becomes, byte for byte, the SDK structure the system reads; the privileges the
// system writes come back as the same fields.
TEST(SdkRecords, EachRecordMapsToItsSdkStructure) {
    NotifyIconRecord added, removed;
    FillTrayRecordForAdd(added, 0x00012345, 0x00ABCDEF);
    FillTrayRecordForDelete(removed, 0x00012345);
    std::string tip = "5461727665696c205850" "00";  // "Tarveil XP", NUL, then 53 blanks
    for (int i = 0; i < 53; ++i) tip += "20";
    NotifyIconRecord balloon;
    FillTrayRecordForDelete(balloon, 0x00012345);
    balloon.cbSize = kNotifyIconDataV2Size;
    balloon.uFlags = kNifInfo;
    std::strcpy(balloon.szInfo, "Arrêt à 22:30");
    std::strcpy(balloon.szInfoTitle, "Tarveil XP");
    balloon.uTimeout = 10000;
    balloon.dwInfoFlags = kNiifInfo;
    ASSERT_EQ(1252u, GetACP()) << "the balloon's row is written for the Western code page";
    TokenPrivilegesRecord enabled, tooMany;
    enabled.PrivilegeCount = 1;
    enabled.Privileges[0] = {0xA1B2C3D4E5F60718ull, kSePrivilegeEnabled};
    tooMany.PrivilegeCount = 3;

    const GUID plan[] = {ToSdk(kGuidSleepSubgroup), ToSdk(kGuidAllowRtcWake)};
    const GUID sdkPlan[] = {GUID_SLEEP_SUBGROUP, GUID_ALLOW_RTC_WAKE};

    SdkTokenPrivileges<TokenPrivilegesList::kRoom> written = {};
    written.PrivilegeCount = 2;
    written.Privileges[0] = {{0x13, 0x7}, SE_PRIVILEGE_ENABLED};
    written.Privileges[1] = {{0xFFFFFFFF, static_cast<LONG>(0x80000000)}, SE_PRIVILEGE_REMOVED};
    TokenPrivilegesList list;
    list.Privileges[2] = {1, 1};  // not written by the system: cleared
    FromSdk(written, &list);
    std::string read = std::to_string(list.PrivilegeCount);
    for (const LuidAndAttributes& e : list.Privileges) {
        if (e.Luid != 0 || e.Attributes != 0) read += " " + HexBytes(&e.Luid, 8) + "/" + std::to_string(e.Attributes);
    }

    const struct {
        const char* label;
        std::string mapped, expected;
    } rows[] = {
        {"icon added: every field, the tooltip padded with blanks", SdkBytes(added),
         ZeroTo("58000000" "45230100" "01000000" "07000000" "00020000" "efcdab00" + tip, sizeof(NOTIFYICONDATAA))},
        {"icon removed before any add: the fields that name it", SdkBytes(removed),
         ZeroTo("58000000" "45230100" "01000000", sizeof(NOTIFYICONDATAA))},
        {"balloon: its texts in the ANSI code page, after the 128-character tooltip field and the state's two",
         SdkBytes(balloon),
         ZeroTo(ZeroTo(ZeroTo("e8010000" "45230100" "01000000" "10000000", 24 + 128 + 8) + "417272ea7420e02032323a3330",
                       24 + 128 + 8 + 256) +
                    "10270000" + ZeroTo("5461727665696c205850", 64) + "01000000",
                sizeof(NOTIFYICONDATAA))},
        {"privilege enabled: the LUID low half first, the second entry zero", SdkBytes(enabled),
         ZeroTo("01000000" "1807f6e5" "d4c3b2a1" "02000000", TokenPrivilegesLength(2))},
        {"a count beyond the record's room is refused", SdkBytes(tooMany), "refused"},
        {"privileges read back: each LUID whole, a high half with its top bit set included", read,
         "2 1300000007000000/2 ffffffff00000080/4"},
        {"the plan's sleep subgroup and wake timers setting", HexBytes(plan, sizeof plan),
         HexBytes(sdkPlan, sizeof sdkPlan)},
    };
    for (const auto& row : rows) EXPECT_EQ(row.expected, row.mapped) << row.label;
}

}  // namespace
