// Restart: run the system's shutdown.exe by its full path, so that a program of the same name in
// the program's folder, the current folder or the search path is never the one started.
#include "power/Reboot.h"

#include <cstring>

const char* const kRestartCommandLine = "Shutdown -r -t 00 -c Redémarrage_de_l'ordinateur_par_Tarveil_XP.";

namespace {

constexpr uint16_t kSwShowMinimized = 2;
constexpr uint32_t kMaxPath = 260;

}  // namespace

PowerResult RedemarrerOrdinateur(SystemCalls& sys) {
    char directory[kMaxPath];
    const uint32_t length = sys.GetSystemDirectory(directory, kMaxPath);
    // A length of cap or more means the folder did not fit and the buffer holds no full path.
    if (length == 0 || length >= kMaxPath) {
        return {PowerAction::Restart, PowerStep::SystemDirectory};
    }
    static const char kProgramName[] = "shutdown.exe";
    char program[kMaxPath + sizeof kProgramName + 1];
    std::memcpy(program, directory, length);
    size_t end = length;
    if (program[end - 1] != '\\') program[end++] = '\\';
    std::memcpy(program + end, kProgramName, sizeof kProgramName);

    if (!sys.CreateProcess(program, kRestartCommandLine, kSwShowMinimized)) {
        return {PowerAction::Restart, PowerStep::StartProgram};
    }
    return {PowerAction::Restart, PowerStep::None};
}
