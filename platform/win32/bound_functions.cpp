// Looking up the listed system functions by name, and the process-wide table the window code uses.
#include "platform/win32/bound_functions.h"

#include <windows.h>

const BoundFunctionName kBoundFunctionNames[kBoundFunctionCount] = {
#define TARVEIL_BOUND_NAME(id, library, entry) {library, entry},
    TARVEIL_BOUND_FUNCTIONS(TARVEIL_BOUND_NAME)
#undef TARVEIL_BOUND_NAME
};

void* LookUpSystemFunction(const char* library, const char* entry, uint32_t* error) {
    const DWORD saved = ::GetLastError();
    HMODULE module = ::GetModuleHandleA(library);
    if (module == nullptr) module = ::LoadLibraryA(library);
    void* proc = module != nullptr ? reinterpret_cast<void*>(::GetProcAddress(module, entry)) : nullptr;
    if (error != nullptr) *error = proc != nullptr ? 0 : (module != nullptr ? ERROR_PROC_NOT_FOUND : ERROR_MOD_NOT_FOUND);
    ::SetLastError(saved);
    return proc;
}

namespace {

struct ProcessBinding {
    void* proc;
    uint32_t error;
    bool lookedUp;
};

// Filled on first use of each function; static storage, so nothing is allocated.
ProcessBinding processBindings[kBoundFunctionCount];

}  // namespace

void* BoundFunctionAddress(BoundFunction function) {
    if (function < 0 || function >= kBoundFunctionCount) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    ProcessBinding& b = processBindings[function];
    if (!b.lookedUp) {
        b.proc = LookUpSystemFunction(kBoundFunctionNames[function].library, kBoundFunctionNames[function].entry,
                                      &b.error);
        b.lookedUp = true;
    }
    if (b.proc == nullptr) ::SetLastError(b.error);
    return b.proc;
}
