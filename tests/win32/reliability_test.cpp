// The real window with failing system functions: the entry points the program binds are patched in memory to
// stand-ins that refuse, so each fault reaches the window exactly as the system would hand it over.
#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/win32/window_helpers.h"

namespace {

// Sends every call of a system function to a stand-in for as long as it lives: a jump written over the first
// five bytes of the function, put back on destruction. The program binds by GetProcAddress, which resolves
// forwarded exports to the same code, so the program cannot get round it.
class PatchedEntry {
public:
    PatchedEntry(const char* library, const char* entry, const void* standIn) {
        HMODULE module = GetModuleHandleA(library);
        if (module == nullptr) module = LoadLibraryA(library);
        target_ = module ? reinterpret_cast<unsigned char*>(GetProcAddress(module, entry)) : nullptr;
        if (target_ == nullptr) return;
        DWORD old;
        if (!VirtualProtect(target_, 5, PAGE_EXECUTE_READWRITE, &old)) {
            target_ = nullptr;
            return;
        }
        std::memcpy(saved_, target_, 5);
        const int32_t rel = static_cast<int32_t>(reinterpret_cast<intptr_t>(standIn) -
                                                 reinterpret_cast<intptr_t>(target_ + 5));
        target_[0] = 0xE9;
        std::memcpy(target_ + 1, &rel, 4);
        FlushInstructionCache(GetCurrentProcess(), target_, 5);
    }
    ~PatchedEntry() {
        if (target_ == nullptr) return;
        std::memcpy(target_, saved_, 5);
        FlushInstructionCache(GetCurrentProcess(), target_, 5);
    }
    bool Active() const { return target_ != nullptr; }
    PatchedEntry(const PatchedEntry&) = delete;
    PatchedEntry& operator=(const PatchedEntry&) = delete;

private:
    unsigned char* target_ = nullptr;
    unsigned char saved_[5] = {};
};

// What the stand-ins saw.
struct Seen {
    std::vector<std::wstring> boxTexts, boxTitles;
    std::vector<UINT> boxStyles;
    std::vector<DWORD> iconMessages;
    int exitWindows = 0, powerState = 0, createProcess = 0;
    std::vector<UINT> exitFlags;
    bool iconRefused = false;
    bool iconRefusedAfterFirst = false;
} g_seen;

int WINAPI RecordMessageBox(HWND, LPCWSTR text, LPCWSTR title, UINT style) {
    g_seen.boxTexts.push_back(text ? text : L"");
    g_seen.boxTitles.push_back(title ? title : L"");
    g_seen.boxStyles.push_back(style);
    return IDOK;
}
BOOL WINAPI RecordNotifyIcon(DWORD message, void*) {
    g_seen.iconMessages.push_back(message);
    const bool refuse = g_seen.iconRefused || (g_seen.iconRefusedAfterFirst && g_seen.iconMessages.size() > 1);
    if (refuse && message != NIM_DELETE) {
        SetLastError(ERROR_TIMEOUT);
        return FALSE;
    }
    return TRUE;
}
BOOL WINAPI RefuseExitWindows(UINT flags, DWORD) {
    ++g_seen.exitWindows;
    g_seen.exitFlags.push_back(flags);
    SetLastError(ERROR_PRIVILEGE_NOT_HELD);
    return FALSE;
}
BOOL WINAPI RefusePowerState(BOOL, BOOL) {
    ++g_seen.powerState;
    SetLastError(ERROR_NOT_SUPPORTED);
    return FALSE;
}
BOOL WINAPI RefuseCreateProcess(LPCWSTR, LPWSTR, void*, void*, BOOL, DWORD, void*, LPCWSTR, void*, void*) {
    ++g_seen.createProcess;
    SetLastError(ERROR_FILE_NOT_FOUND);
    return FALSE;
}
// Windows taking the restart asked of it, so that nothing really ends.
BOOL WINAPI AcceptExitWindows(UINT flags, DWORD) {
    ++g_seen.exitWindows;
    g_seen.exitFlags.push_back(flags);
    return TRUE;
}
// A program that has already ended with a chosen code stands in for shutdown.exe: the window gets handles to it.
HANDLE g_finishedProgram = nullptr;
BOOL WINAPI StartFinishedProgram(LPCWSTR, LPWSTR, void*, void*, BOOL, DWORD, void*, LPCWSTR, void*, void* info) {
    ++g_seen.createProcess;
    auto* started = static_cast<PROCESS_INFORMATION*>(info);
    std::memset(started, 0, sizeof *started);
    HANDLE self = GetCurrentProcess();
    return DuplicateHandle(self, g_finishedProgram, self, &started->hProcess, 0, FALSE, DUPLICATE_SAME_ACCESS) &&
           DuplicateHandle(self, g_finishedProgram, self, &started->hThread, 0, FALSE, DUPLICATE_SAME_ACCESS);
}
UINT WINAPI RefuseSystemDirectory(LPWSTR, UINT) {
    SetLastError(ERROR_ACCESS_DENIED);
    return 0;
}
BOOL WINAPI RefuseOpenToken(HANDLE, DWORD, HANDLE*) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
}
BOOL WINAPI RefuseLookup(LPCSTR, LPCSTR, LUID*) {
    SetLastError(ERROR_NO_SUCH_PRIVILEGE);
    return FALSE;
}
BOOL WINAPI RefuseAdjust(HANDLE, BOOL, void*, DWORD, void*, DWORD*) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
}
// TRUE, but the account does not hold the privilege: what a limited account gets.
BOOL WINAPI AdjustNotAllAssigned(HANDLE, BOOL, void*, DWORD, void*, DWORD*) {
    SetLastError(ERROR_NOT_ALL_ASSIGNED);
    return TRUE;
}

std::wstring TimeText(int secondsFromNow) {
    SYSTEMTIME st;
    GetLocalTime(&st);
    const int s = ((st.wHour * 3600 + st.wMinute * 60 + st.wSecond + secondsFromNow) % 86400 + 86400) % 86400;
    wchar_t buf[16];
    wsprintfW(buf, L"%02d:%02d:%02d", s / 3600, s / 60 % 60, s % 60);
    return buf;
}

class FaultTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_seen = Seen();
        ASSERT_TRUE(messageBox_.Active());
        ASSERT_TRUE(notifyIcon_.Active());
        ASSERT_TRUE(exitWindows_.Active());
        ASSERT_TRUE(window_.Create(GetModuleHandleW(nullptr)));
        hwnd_ = window_.Hwnd();
        entry_ = ChildByText(hwnd_, L"Entrez une heure ici (hh:mm:ss)");
        ASSERT_NE(nullptr, entry_);
        Pump(50);
    }
    void Choose(const wchar_t* option) {
        HWND button = ChildByText(hwnd_, option);
        ASSERT_NE(nullptr, button);
        SendMessageW(button, BM_CLICK, 0, 0);
        ASSERT_EQ(BST_CHECKED, SendMessageW(button, BM_GETCHECK, 0, 0));
    }
    void PressOk() { SendMessageW(ChildByText(hwnd_, L"OK"), BM_CLICK, 0, 0); }
    // The clock box shows another time a little more than a second later: the program is alive and ticking.
    bool ClockRuns() {
        HWND clock = ClockBox(hwnd_);
        if (clock == nullptr) return false;
        const std::wstring before = TextOf(clock);
        Pump(1150);
        return IsWindow(hwnd_) && TextOf(clock) != before && TextOf(clock).size() == 8;
    }

    // Every test answers its own message boxes and never lets a real power-off through.
    PatchedEntry messageBox_{"user32.dll", "MessageBoxW", reinterpret_cast<const void*>(&RecordMessageBox)};
    PatchedEntry notifyIcon_{"shell32.dll", "Shell_NotifyIconA", reinterpret_cast<const void*>(&RecordNotifyIcon)};
    PatchedEntry exitWindows_{"user32.dll", "ExitWindowsEx", reinterpret_cast<const void*>(&RefuseExitWindows)};
    TestWindow window_;
    HWND hwnd_ = nullptr;
    HWND entry_ = nullptr;
};

}  // namespace

TEST_F(FaultTest, IconRefusedKeepsTheWindowShownAndSaysSo) {
    g_seen.iconRefused = true;
    SetWindowTextW(entry_, TimeText(3600).c_str());
    PressOk();
    EXPECT_TRUE(IsWindowVisible(hwnd_));
    EXPECT_EQ((std::vector<DWORD>{NIM_ADD, NIM_MODIFY}), g_seen.iconMessages);
    ASSERT_EQ(1u, g_seen.boxTexts.size());
    EXPECT_EQ(L"L'icône n'a pas pu être placée dans la zone de notification : la fenêtre reste affichée.\n"
              L"L'heure programmée reste valable.",
              g_seen.boxTexts[0]);
    EXPECT_EQ(L"Tarveil XP", g_seen.boxTitles[0]);
    EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONWARNING), g_seen.boxStyles[0]);
    EXPECT_TRUE(ClockRuns());
}

TEST_F(FaultTest, IconRefusedStillFiresAtTheTimeOnScreen) {
    g_seen.iconRefused = true;
    Choose(L"Mettre en veille");
    PatchedEntry power("kernel32.dll", "SetSystemPowerState", reinterpret_cast<const void*>(&RefusePowerState));
    ASSERT_TRUE(power.Active());
    SetWindowTextW(entry_, TimeText(2).c_str());
    PressOk();
    ASSERT_TRUE(IsWindowVisible(hwnd_));
    // The target second, then five countdown ticks, then the request.
    const DWORD end = GetTickCount() + 10000;
    while (g_seen.powerState == 0 && static_cast<LONG>(GetTickCount() - end) < 0) Pump(100);
    EXPECT_EQ(1, g_seen.powerState);
    ASSERT_EQ(2u, g_seen.boxTexts.size());
    EXPECT_EQ(L"La mise en veille prolongée de l'ordinateur a échoué.", g_seen.boxTexts[1]);
}

TEST_F(FaultTest, ANewShellGetsTheIconBackAndOneThatRefusesItBringsTheWindowBack) {
    const UINT taskbarCreated = RegisterWindowMessageW(L"TaskbarCreated");
    ASSERT_NE(0u, taskbarCreated);
    SetWindowTextW(entry_, TimeText(3600).c_str());
    PressOk();
    ASSERT_FALSE(IsWindowVisible(hwnd_));
    SendMessageW(hwnd_, taskbarCreated, 0, 0);
    // The arming's add and balloon, then the re-add alone: the balloon is said once.
    EXPECT_EQ((std::vector<DWORD>{NIM_ADD, NIM_MODIFY, NIM_ADD}), g_seen.iconMessages);
    EXPECT_FALSE(IsWindowVisible(hwnd_));
    EXPECT_TRUE(g_seen.boxTexts.empty());

    g_seen.iconRefusedAfterFirst = true;
    SendMessageW(hwnd_, taskbarCreated, 0, 0);
    EXPECT_EQ((std::vector<DWORD>{NIM_ADD, NIM_MODIFY, NIM_ADD, NIM_ADD, NIM_MODIFY}), g_seen.iconMessages);
    EXPECT_TRUE(IsWindowVisible(hwnd_));
    // Shown again, nothing more to re-add on the next broadcast.
    SendMessageW(hwnd_, taskbarCreated, 0, 0);
    EXPECT_EQ(5u, g_seen.iconMessages.size());
    EXPECT_TRUE(ClockRuns());
}

TEST_F(FaultTest, EachRefusedPowerStepIsReportedInFrenchAndTheProgramLivesOn) {
    struct Case {
        const char* name;
        const wchar_t* option;
        const char* library;
        const char* entry;
        const void* standIn;
        const wchar_t* message;
        int requests;  // power requests reached: the action's own, and a forced restart
    } cases[] = {
        {"no token", L"Arrêter", "advapi32.dll", "OpenProcessToken", reinterpret_cast<const void*>(&RefuseOpenToken),
         L"L'arrêt de l'ordinateur a échoué.", 0},
        {"no privilege name", L"Arrêter", "advapi32.dll", "LookupPrivilegeValueA",
         reinterpret_cast<const void*>(&RefuseLookup), L"L'arrêt de l'ordinateur a échoué.", 0},
        {"adjust refused", L"Arrêter", "advapi32.dll", "AdjustTokenPrivileges",
         reinterpret_cast<const void*>(&RefuseAdjust), L"L'arrêt de l'ordinateur a échoué.", 0},
        {"privilege not held", L"Arrêter", "advapi32.dll", "AdjustTokenPrivileges",
         reinterpret_cast<const void*>(&AdjustNotAllAssigned), L"L'arrêt de l'ordinateur a échoué.", 0},
        {"power-off refused", L"Arrêter", nullptr, nullptr, nullptr, L"L'arrêt de l'ordinateur a échoué.", 1},
        {"hibernate: privilege not held", L"Mettre en veille", "advapi32.dll", "AdjustTokenPrivileges",
         reinterpret_cast<const void*>(&AdjustNotAllAssigned), L"La mise en veille prolongée de l'ordinateur a échoué.",
         0},
        {"hibernate: no token", L"Mettre en veille", "advapi32.dll", "OpenProcessToken",
         reinterpret_cast<const void*>(&RefuseOpenToken), L"La mise en veille prolongée de l'ordinateur a échoué.",
         0},
        {"hibernate refused", L"Mettre en veille", "kernel32.dll", "SetSystemPowerState",
         reinterpret_cast<const void*>(&RefusePowerState), L"La mise en veille prolongée de l'ordinateur a échoué.",
         1},
        // shutdown.exe out of reach: the restart is asked of Windows itself, which refuses it too.
        {"restart: shutdown.exe cannot start", L"Redémarrer", "kernel32.dll", "CreateProcessW",
         reinterpret_cast<const void*>(&RefuseCreateProcess), L"Le redémarrage de l'ordinateur a échoué.", 2},
        {"restart: no system folder", L"Redémarrer", "kernel32.dll", "GetSystemDirectoryW",
         reinterpret_cast<const void*>(&RefuseSystemDirectory), L"Le redémarrage de l'ordinateur a échoué.", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        g_seen = Seen();
        Choose(c.option);
        // Hibernation must never reach the real system either; the refusal under test is patched over it.
        PatchedEntry power("kernel32.dll", "SetSystemPowerState", reinterpret_cast<const void*>(&RefusePowerState));
        PatchedEntry start("kernel32.dll", "CreateProcessW", reinterpret_cast<const void*>(&RefuseCreateProcess));
        PatchedEntry exitWindows("user32.dll", "ExitWindowsEx", reinterpret_cast<const void*>(&RefuseExitWindows));
        ASSERT_TRUE(power.Active() && start.Active() && exitWindows.Active());
        {
            PatchedEntry fault(c.library ? c.library : "user32.dll", c.entry ? c.entry : "ExitWindowsEx",
                               c.standIn ? c.standIn : reinterpret_cast<const void*>(&RefuseExitWindows));
            ASSERT_TRUE(fault.Active());
            window_.Form().RunSelectedAction();
        }
        ASSERT_EQ(1u, g_seen.boxTexts.size());
        EXPECT_EQ(c.message, g_seen.boxTexts[0]);
        EXPECT_EQ(L"Tarveil XP", g_seen.boxTitles[0]);
        EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONERROR), g_seen.boxStyles[0]);
        const int requests = g_seen.exitWindows + g_seen.powerState + g_seen.createProcess;
        EXPECT_EQ(c.requests, requests);
        EXPECT_TRUE(IsWindow(hwnd_));
    }
    EXPECT_TRUE(ClockRuns());
}

TEST_F(FaultTest, ARefusedPowerOffAtTheEndOfTheCountdownLeavesTheWindowToCancel) {
    PatchedEntry adjust("advapi32.dll", "AdjustTokenPrivileges", reinterpret_cast<const void*>(&AdjustNotAllAssigned));
    ASSERT_TRUE(adjust.Active());
    SetWindowTextW(entry_, TimeText(2).c_str());
    PressOk();
    const DWORD end = GetTickCount() + 10000;
    while (g_seen.boxTexts.empty() && static_cast<LONG>(GetTickCount() - end) < 0) Pump(100);
    ASSERT_EQ(1u, g_seen.boxTexts.size());
    EXPECT_EQ(L"L'arrêt de l'ordinateur a échoué.", g_seen.boxTexts[0]);
    EXPECT_EQ(0, g_seen.exitWindows);
    EXPECT_TRUE(IsWindowVisible(hwnd_));
    HWND cancel = ChildByText(hwnd_, L"ANNULER !");
    ASSERT_NE(nullptr, cancel);
    EXPECT_TRUE(IsWindowVisible(cancel));
    SendMessageW(cancel, BM_CLICK, 0, 0);
    EXPECT_FALSE(IsWindowVisible(cancel));
    EXPECT_TRUE(ClockRuns());
    EXPECT_EQ(1u, g_seen.boxTexts.size());
}

// shutdown.exe refusing (a limited XP account) or not, on the real window: its second timer looks at the program's
// end, and a code other than 0 makes it ask Windows for the restart itself; only a refusal of that too is reported.
TEST_F(FaultTest, ARestartRefusedByShutdownExeIsAskedOfWindowsAndReportedOnlyIfThatFailsToo) {
    struct Case {
        const char* name;
        const wchar_t* exitCommand;
        bool windowsAccepts;
        std::vector<UINT> flags;
        size_t boxes;
    } cases[] = {
        {"shutdown.exe ends with 0", L"cmd /c exit 0", true, {}, 0},
        {"it ends with 1, Windows restarts", L"cmd /c exit 1", true, {EWX_REBOOT | EWX_FORCE}, 0},
        {"it ends with 1, Windows refuses too", L"cmd /c exit 1", false, {EWX_REBOOT | EWX_FORCE}, 1},
    };
    wchar_t cmd[MAX_PATH];
    ASSERT_GT(GetSystemDirectoryW(cmd, MAX_PATH), 0u);
    lstrcatW(cmd, L"\\cmd.exe");
    Choose(L"Redémarrer");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        g_seen = Seen();
        // The stand-in's program, run to its end before the real CreateProcessW is patched over.
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION finished = {};
        std::wstring line = c.exitCommand;
        ASSERT_TRUE(CreateProcessW(cmd, &line[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                                   &startup, &finished));
        CloseHandle(finished.hThread);
        ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(finished.hProcess, 30000));
        g_finishedProgram = finished.hProcess;
        {
            PatchedEntry start("kernel32.dll", "CreateProcessW", reinterpret_cast<const void*>(&StartFinishedProgram));
            PatchedEntry windows("user32.dll", "ExitWindowsEx",
                                 c.windowsAccepts ? reinterpret_cast<const void*>(&AcceptExitWindows)
                                                  : reinterpret_cast<const void*>(&RefuseExitWindows));
            ASSERT_TRUE(start.Active() && windows.Active());
            window_.Form().RunSelectedAction();
            EXPECT_EQ(1, g_seen.createProcess);
            EXPECT_TRUE(window_.WatchingRestart());
            const DWORD end = GetTickCount() + (c.flags.empty() ? 3000 : 10000);
            while (window_.WatchingRestart() && static_cast<LONG>(GetTickCount() - end) < 0) Pump(100);
            // Ended with 0, the restart is waited for (two minutes) rather than asked again.
            EXPECT_EQ(c.flags.empty(), window_.WatchingRestart());
            window_.Form().cmdCancel_Click();
        }
        CloseHandle(finished.hProcess);
        EXPECT_EQ(c.flags, g_seen.exitFlags);
        ASSERT_EQ(c.boxes, g_seen.boxTexts.size());
        if (c.boxes) {
            EXPECT_EQ(L"Le redémarrage de l'ordinateur a échoué.", g_seen.boxTexts[0]);
            EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONERROR), g_seen.boxStyles[0]);
        }
    }
    EXPECT_TRUE(ClockRuns());
}
