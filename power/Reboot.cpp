// Restart: run the system's shutdown.exe by its full path, so that a program of the same name in the program's
// folder, the current folder or the search path is never the one started; then see that it did not refuse.
#include "power/Reboot.h"

#include <utility>

#include "platform/TextWriter.h"
#include "power/Privilege.h"

const char* const kRestartCommandLine = "Shutdown -r -t 00 -c Redémarrage_de_l'ordinateur_par_Tarveil_XP.";

PowerResult RedemarrerOrdinateur(SystemCalls& sys, RestartWatch& watch) {
    char directory[kMaxPath];
    const uint32_t length = sys.GetSystemDirectoryUtf8(directory, kMaxPath).value;
    // A length of cap or more means the folder did not fit and the buffer holds no full path.
    if (length == 0 || length >= kMaxPath) return ForcerRedemarrage(sys);
    static const char kProgramName[] = "shutdown.exe";
    char program[kMaxPath + sizeof kProgramName + 1];
    TextWriter path(program, sizeof program);
    path.Put(directory, length);
    if (directory[length - 1] != '\\') path.Put('\\');
    path.Put(kProgramName);
    path.Finish();

    SystemHandle process(sys);
    if (!sys.CreateProcessUtf8(program, kRestartCommandLine, kSwShowMinimized, &process)) return ForcerRedemarrage(sys);
    watch.Watch(std::move(process));
    return {PowerAction::Restart, PowerStep::None};
}

PowerResult ForcerRedemarrage(SystemCalls& sys) {
    const PowerStep privilege = ActiverPrivilegeArret(sys);
    if (privilege != PowerStep::None) {
        return {PowerAction::Restart, privilege};
    }
    if (!sys.ExitWindowsEx(kEwxReboot | kEwxForce, 0)) {
        return {PowerAction::Restart, PowerStep::PowerRequest};
    }
    return {PowerAction::Restart, PowerStep::None};
}

void RestartWatch::Watch(SystemHandle process) {
    Stop();
    process_ = std::move(process);
    looks_ = 0;
    watching_ = true;
}

bool RestartWatch::Look(PowerResult* result) {
    if (accepted_) {
        // A restart under way ends this program within seconds: Windows ends every program as it restarts.
        if (++looks_ < kRestartComingLooks) return false;
        accepted_ = false;
        *result = {PowerAction::Restart, PowerStep::RestartNotSeen};
        return true;
    }
    if (!watching_) return false;
    ++looks_;
    // A wait of 0 ms only asks: the window's thread never blocks on shutdown.exe.
    const uint32_t state = sys_.WaitForSingleObject(process_.Get(), 0).value;
    if (state == kWaitTimeout && looks_ < kRestartWatchLooks) return false;
    // Still running after half a minute is no restart either: one under way would have ended this program by now
    // (Windows ends every program as it restarts), so shutdown.exe hangs. A wait that fails leaves the restart
    // unknown. Either way Windows is asked directly: a restart asked twice is still one restart.
    uint32_t exitCode = kStillActive;
    const bool endedWithZero =
        state == kWaitObject0 && sys_.GetExitCodeProcess(process_.Get(), &exitCode) && exitCode == 0;
    Stop();
    if (endedWithZero) {
        accepted_ = true;
        looks_ = 0;
        return false;
    }
    *result = ForcerRedemarrage(sys_);
    return true;
}

void RestartWatch::Stop() {
    accepted_ = false;
    if (!watching_) return;
    watching_ = false;
    process_.Reset();
}
