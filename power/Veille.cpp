// Hibernation: enable the shutdown privilege, then ask the system to hibernate.
#include "power/Veille.h"

#include "power/Privilege.h"

PowerResult MettreEnVeille(SystemCalls& sys) {
    const PowerStep privilege = ActiverPrivilegeArret(sys);
    if (privilege != PowerStep::None) {
        // Without the privilege the request cannot succeed; the user hears about it instead.
        return {PowerAction::Hibernate, privilege};
    }
    if (!sys.SetSystemPowerState(false, false)) {
        return {PowerAction::Hibernate, PowerStep::PowerRequest};
    }
    return {PowerAction::Hibernate, PowerStep::None};
}
