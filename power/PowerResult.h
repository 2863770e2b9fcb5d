// What a power action reports back, and the French texts the window shows when one fails.
#pragma once

enum class PowerAction { Restart, PowerOff, Hibernate };

// The step at which an action stopped; None when the request went to the system.
enum class PowerStep {
    None,
    OpenToken,           // OpenProcessToken failed
    LookupPrivilege,     // LookupPrivilegeValueA failed
    AdjustPrivileges,    // AdjustTokenPrivileges returned FALSE
    PrivilegeNotHeld,    // AdjustTokenPrivileges returned TRUE with ERROR_NOT_ALL_ASSIGNED
    PowerRequest,        // ExitWindowsEx / SetSystemPowerState returned FALSE
    RestartNotSeen,      // shutdown.exe accepted the restart, and the program still runs two minutes later
};

struct PowerResult {
    PowerAction action;
    PowerStep failedStep;

    bool Succeeded() const { return failedStep == PowerStep::None; }
};

// The message for a failed action, UTF-8; the same text whatever step failed, since the user
// can do nothing different about one step or another. A restart that Windows accepted but that did not come has its
// own, since the user can.
const char* PowerFailureMessage(PowerAction action);
// nullptr when the action succeeded, so the caller shows a message only when there is one.
const char* PowerFailureMessage(const PowerResult& result);
