// Resource ids of Tarveil XP (resources/Tarveil.rc). Others' code uses these numbers: do not change them.
#ifndef TARVEIL_RESOURCE_H
#define TARVEIL_RESOURCE_H

#define IDI_ICONEPROGRAMME 101
#define IDB_BANDEAUTITRE 102

#endif
