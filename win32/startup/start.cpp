// The exe's entry point, in place of MinGW's crt2.o, whose start-up code uses cmov (built for the Pentium Pro),
// which the Pentium MMX and the AMD K6 that XP runs on do not have; this one is compiled for the i586.
#include <windows.h>

#include <stdlib.h>

#include "scheduler/CommandLine.h"

extern "C" {
// libmingw32, whose members used here hold no P6 instruction (scripts/check_pe.sh checks the whole exe).
void __main();    // runs the C++ static constructors and registers their destructors with atexit
void _fpreset();  // sets the x87 to 64-bit precision, as crt2.o does, so floating-point results stay as they were
// msvcrt.dll
void __cdecl __set_app_type(int type);
// the linker's: the start of the exe's image, which is its module handle
extern IMAGE_DOS_HEADER __ImageBase;
}

namespace {

constexpr int kGuiApp = 2;  // _GUI_APP: msvcrt reports its run-time errors in a message box, not on a console

// WinMain's command line: what follows the program's name and the blanks after it, the name read by the rule of
// CommandLineToArgvW (to the closing quote when it opens with one, else to the first space or tab), the rule the
// program reads the wide line's words by, so that an empty tail and no words go together. (crt2.o read the name by
// rules of its own.) Bytes above 0x7F are part of the name.
char* CommandTail() {
    return const_cast<char*>(SkipProgramName(GetCommandLineA()));
}

}  // namespace

// An exe's atexit functions go on msvcrt's own list, which exit() runs: the one crt2.o would have used.
extern "C" int __cdecl atexit(void(__cdecl* function)(void)) {
    return _onexit(reinterpret_cast<_onexit_t>(function)) != nullptr ? 0 : -1;
}

// Left out on purpose, as this program needs none of them: argc/argv/envp (__getmainargs), turning faults into C
// signals, the thread-local-storage callbacks (no thread-local data), and the pseudo-relocation pass (the link
// uses --disable-runtime-pseudo-reloc, so the linker refuses any data import that would need one).
extern "C" __attribute__((force_align_arg_pointer, noreturn)) void WinMainCRTStartup() {
    __set_app_type(kGuiApp);
    _fpreset();
    __main();
    STARTUPINFOA startup;
    startup.cb = sizeof startup;
    GetStartupInfoA(&startup);
    const int show = (startup.dwFlags & STARTF_USESHOWWINDOW) != 0 ? startup.wShowWindow : SW_SHOWDEFAULT;
    exit(WinMain(reinterpret_cast<HINSTANCE>(&__ImageBase), nullptr, CommandTail(), show));
}
