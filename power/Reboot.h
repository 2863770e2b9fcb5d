// Restarting the computer through the system's own shutdown.exe, watching that it did not refuse, and restarting
// through ExitWindowsEx when it did.
#pragma once

#include <cstdint>

#include "platform/SystemCalls.h"
#include "power/PowerResult.h"

// The exact command line given to shutdown.exe.
extern const char* const kRestartCommandLine;

// Looks taken at the started shutdown.exe, one a second, before it counts as having failed.
constexpr int kRestartWatchLooks = 30;
// Looks, one a second, after shutdown.exe ended with 0, before a program still running says the restart did not come.
constexpr int kRestartComingLooks = 120;

// What became of the shutdown.exe a restart started. On Windows XP shutdown.exe needs the right to force a shutdown
// from a remote system, which only administrators hold by default: on a limited account it prints "A required
// privilege is not held by the client" and ends with a code other than 0, restarting nothing. Ending with 0 it has
// only asked: "-t 00" forces no program to close, so one unsaved document's question, or Windows' list of programs
// holding the restart up, can keep or cancel it. The watch owns the process handle and closes it on every path, its
// own end included.
class RestartWatch {
public:
    explicit RestartWatch(SystemCalls& sys) : sys_(sys), process_(sys) {}
    ~RestartWatch() { Stop(); }
    RestartWatch(const RestartWatch&) = delete;
    RestartWatch& operator=(const RestartWatch&) = delete;

    // Takes over the handle of a started shutdown.exe; one still held from an earlier restart is closed first.
    void Watch(SystemHandle process);
    bool Watching() const { return watching_ || accepted_; }
    // shutdown.exe ended with 0: what is left is to wait for the restart.
    bool Accepted() const { return accepted_; }
    // One look, never waiting: false while the watch goes on. Ended otherwise than with 0, not to be watched, or
    // still running at the last look, shutdown.exe's restart is asked of Windows itself (ForcerRedemarrage), and
    // *result says how that went. Ended with 0, the handle is closed and the watch goes on without it: a program
    // still looking two minutes later was not restarted, which *result says (RestartNotSeen); nothing more is asked,
    // since this restart lets programs keep it back on purpose.
    bool Look(PowerResult* result);
    // Ends the watch without acting on it: the user cancelled, or the program ends.
    void Stop();

private:
    SystemCalls& sys_;
    SystemHandle process_;
    int looks_ = 0;
    bool watching_ = false;   // shutdown.exe's handle is held
    bool accepted_ = false;   // shutdown.exe ended with 0: waiting for the restart to end the program
};

// Starts <system directory>\shutdown.exe minimised, without waiting for it, and hands its process to WATCH.
// Touches no privilege: shutdown.exe enables its own. Where it cannot be started (a policy blocking it, a missing
// file), the restart is asked of Windows itself at once (ForcerRedemarrage).
PowerResult RedemarrerOrdinateur(SystemCalls& sys, RestartWatch& watch);

// The restart without shutdown.exe: enables the shutdown privilege, as the power-off does, then asks for a forced
// restart (ExitWindowsEx 6, 0).
PowerResult ForcerRedemarrage(SystemCalls& sys);
