// Looking up the listed system functions by name, and the one table the program binds them through.
#include "win32/BoundFunctions.h"

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

void* BoundFunctionTable::Address(BoundFunction function) {
    if (function < 0 || function >= kBoundFunctionCount) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    Entry& e = entries_[function];
    if (!e.lookedUp) {
        e.proc = LookUpSystemFunction(names_[function].library, names_[function].entry, &e.error);
        e.lookedUp = true;
    }
    if (e.proc == nullptr) ::SetLastError(e.error);
    return e.proc;
}

bool BoundFunctionTable::LookedUp(BoundFunction function) const {
    return function >= 0 && function < kBoundFunctionCount && entries_[function].lookedUp;
}

namespace {

// Its constructor is constexpr, so the table is filled in at compile time: nothing runs at start-up for it.
BoundFunctionTable systemFunctions;

}  // namespace

BoundFunctionTable& SystemFunctions() {
    return systemFunctions;
}

void* BoundFunctionAddress(BoundFunction function) {
    return SystemFunctions().Address(function);
}
