/* A library of a name the system folder does not hold, built beside the Win32 layer tests: a DLL planted next to a
   program. It exports what powrprof.dll does, and answers "no", so that a look-up which took it would show. */
#include <windows.h>

__declspec(dllexport) BOOLEAN WINAPI IsPwrHibernateAllowed(void) {
    return FALSE;
}
