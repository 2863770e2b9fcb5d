// Runs one power action through the real modules and the real system calls, and prints the outcome;
// the end-to-end relay test runs it under Wine. Usage: power_probe reboot|off|standby
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "win32/Win32SystemCalls.h"
#include "power/Arret.h"
#include "power/Reboot.h"
#include "power/Veille.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: power_probe reboot|off|standby\n");
        return 2;
    }
    // Lets a relay trace be narrowed to this program's own calls (Wine prints thread ids as %04x).
    std::printf("thread %04lx\n", static_cast<unsigned long>(::GetCurrentThreadId()));
    Win32SystemCalls sys;
    PowerResult result{PowerAction::Restart, PowerStep::None};
    if (std::strcmp(argv[1], "reboot") == 0) {
        // Watched to its end as the window does, a look a second: the handle is closed by the watch. Ended with 0,
        // the restart is the system's to make; the probe does not wait for it.
        RestartWatch watch(sys);
        result = RedemarrerOrdinateur(sys, watch);
        while (result.Succeeded() && !watch.Look(&result) && !watch.Accepted()) ::Sleep(1000);
    } else if (std::strcmp(argv[1], "off") == 0) {
        // Printed first: under Wine the session ends before the call returns.
        std::printf("off: requesting\n");
        std::fflush(stdout);
        result = EteindreOrdinateur(sys);
    } else if (std::strcmp(argv[1], "standby") == 0) {
        result = MettreEnVeille(sys);
    } else {
        std::fprintf(stderr, "unknown action: %s\n", argv[1]);
        return 2;
    }
    if (result.Succeeded()) {
        std::printf("%s: ok\n", argv[1]);
    } else {
        std::printf("%s: failed at step %d: %s\n", argv[1], static_cast<int>(result.failedStep),
                    PowerFailureMessage(result));
    }
    std::fflush(stdout);
    return result.Succeeded() ? 0 : 1;
}
