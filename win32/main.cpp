// Program entry: reads the command line, then either shows its usage and ends, or creates the window, arms it when
// the line says so, and runs the message loop until the window is unloaded.
#include <windows.h>
#include <commctrl.h>

#include <cstdlib>

#include "scheduler/CommandLine.h"
#include "win32/WideText.h"
#include "win32/Win32Form.h"
#include "resources/version.h"
#include "win32/lean_runtime.inc"

namespace {

// Reads the whole command line, converted to UTF-8 on the heap for the reading. False only when there was no
// memory for it.
bool ReadOwnCommandLine(CommandRequest* request) {
    // The wide line: the ANSI one has lost the accents of /arrêter and /redémarrer wherever the code page lacks them.
    const wchar_t* wide = GetCommandLineW();
    int units = 0;
    while (wide[units] != L'\0') ++units;
    const size_t bytes = WideToUtf8(wide, units, nullptr, 0) + 1;
    char* line = static_cast<char*>(std::malloc(bytes));
    if (line == nullptr) return false;
    WideToUtf8(wide, units, line, bytes);
    *request = ReadCommandLine(line);
    std::free(line);
    return true;
}

// The usage box, shown before any window is made: nothing else appears and no icon is added.
int ShowUsage(const CommandRequest& request) {
    char text[kUsageTextCap];
    FormatUsage(request, text, sizeof text);
    wchar_t prompt[kUsageTextCap];  // a UTF-8 text has at least as many bytes as it has UTF-16 units
    Utf8ToWide(text, prompt, kUsageTextCap);
    const bool help = request.verdict == CommandVerdict::Help;
    // How it was closed is not used: it has only "OK".
    (void)MessageBoxW(nullptr, prompt, L"" TARVEIL_TITLE, MB_OK | (help ? MB_ICONINFORMATION : MB_ICONWARNING));
    return help ? kExitAfterHelp : kExitRefusedLine;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandTail, int) {
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_STANDARD_CLASSES};
    // Without common controls 6 the buttons are drawn the classic way, which the window is made for too.
    (void)InitCommonControlsEx(&controls);

    // Nothing after the program's name: the start the program has always had, call for call.
    CommandRequest request;
    if (commandTail != nullptr && commandTail[0] != '\0' && !ReadOwnCommandLine(&request)) {
        MessageBoxW(nullptr, L"La ligne de commande n'a pas pu être lue : mémoire insuffisante.", L"" TARVEIL_TITLE,
                    MB_ICONERROR);
        return kExitRefusedLine;
    }
    if (request.verdict == CommandVerdict::Help || request.verdict == CommandVerdict::Refused) return ShowUsage(request);

    Win32Form window;
    if (!window.Create(instance)) {
        MessageBoxW(nullptr, L"La fenêtre de " TARVEIL_TITLE L" n'a pas pu être créée.", L"" TARVEIL_TITLE, MB_ICONERROR);
        return 1;
    }
    // As a click on "OK" would: a refusal at arming leaves the window up with its message, and the program runs on.
    window.ArmFromCommandLine(request);
    return window.RunMessages(Win32Form::Pump::UntilQuit);
}
