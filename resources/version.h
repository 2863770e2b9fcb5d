/* Tarveil XP's name and version: read by the C++ code, by windres (version.rc2) and by CMake and the scripts,
   which take the quoted text after each name, so keep one #define per line. UTF-8. */
#ifndef TARVEIL_VERSION_H
#define TARVEIL_VERSION_H

#define TARVEIL_TITLE "Tarveil XP"
#define TARVEIL_FILE_NAME "Tarveil XP.exe"

/* The four numbers of the version block and the manifest; the texts below must say the same (CMake checks). */
#define TARVEIL_VERSION_MAJOR 2
#define TARVEIL_VERSION_MINOR 0
#define TARVEIL_VERSION_PATCH 0
#define TARVEIL_VERSION_BUILD 5
#define TARVEIL_VERSION_DOTTED "2.0.0.5"
/* As the program has always shown it: major, minor on two digits, build on four. */
#define TARVEIL_VERSION_TEXT "2.00.0005"

#define TARVEIL_COMMENTS "Permet d'éteindre, de redémarrer ou de mettre en veille votre ordinateur à une heure précise. Version uniquement compatible Windows XP."

#endif
