// Power-off: enable the shutdown privilege, then ask the system to shut down and power off.
#include "power/Arret.h"

#include "power/Privilege.h"

PowerResult EteindreOrdinateur(SystemCalls& sys) {
    const PowerStep privilege = ActiverPrivilegeArret(sys);
    if (privilege != PowerStep::None) {
        return {PowerAction::PowerOff, privilege};
    }
    if (!sys.ExitWindowsEx(kEwxShutdown | kEwxForce | kEwxPowerOff, 0)) {
        return {PowerAction::PowerOff, PowerStep::PowerRequest};
    }
    return {PowerAction::PowerOff, PowerStep::None};
}
