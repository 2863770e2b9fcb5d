// The French failure texts of the power actions, kept together so they read alike.
#include "power/PowerResult.h"

const char* PowerFailureMessage(PowerAction action) {
    switch (action) {
    case PowerAction::Restart:
        return "Le redémarrage de l'ordinateur a échoué.";
    case PowerAction::PowerOff:
        return "L'arrêt de l'ordinateur a échoué.";
    case PowerAction::Hibernate:
        return "La mise en veille prolongée de l'ordinateur a échoué.";
    }
    return "L'action demandée a échoué.";
}

const char* PowerFailureMessage(const PowerResult& result) {
    if (result.failedStep == PowerStep::RestartNotSeen) {
        return "Windows a accepté le redémarrage de l'ordinateur, mais il n'a pas eu lieu : un programme l'a peut-être "
               "retenu, par exemple pour un document non enregistré.\n"
               "Enregistrez votre travail, fermez les programmes ouverts, puis redémarrez l'ordinateur vous-même.";
    }
    return result.Succeeded() ? nullptr : PowerFailureMessage(result.action);
}
