// Looking up the listed system functions by name, and the one table the program binds them through.
// The SDK declares a function of a later Windows only to a program built for that Windows: this file alone is, to
// check the list's types against those declarations too. It calls none of them; scripts/check_pe.sh sees that the exe
// imports none.
#undef WINVER
#undef _WIN32_WINNT
#define WINVER 0x0601
#define _WIN32_WINNT 0x0601
#include "win32/BoundFunctions.h"

#include <windows.h>
#include <dwmapi.h>
// The power plan's functions came with Vista, and the SDK declares them only for it; the program binds them by name
// and does without them on XP.
#pragma push_macro("_WIN32_WINNT")
#undef _WIN32_WINNT
#define _WIN32_WINNT 0x0600
#include <powrprof.h>
#pragma pop_macro("_WIN32_WINNT")
#include <shellapi.h>
#include <uxtheme.h>

#include <type_traits>

const BoundFunctionName kBoundFunctionNames[kBoundFunctionCount] = {
#define TARVEIL_BOUND_NAME(library, entry, type, since) {library, #entry},
    TARVEIL_BOUND_FUNCTIONS(TARVEIL_BOUND_NAME)
#undef TARVEIL_BOUND_NAME
};

// The list's type of each function is the one the SDK declares: a wrong one stops the build.
#define TARVEIL_BOUND_SDK_TYPE(library, entry, type, since) \
    static_assert(std::is_same<type, decltype(&::entry)>::value, #entry "'s type in the list is not the SDK's");
TARVEIL_BOUND_FUNCTIONS(TARVEIL_BOUND_SDK_TYPE)
#undef TARVEIL_BOUND_SDK_TYPE

namespace {

// The library by its full path in the system folder, never by bare name: a bare name is looked for in the
// program's folder and the current folder before the system's, so a DLL of that name left there would be the one
// loaded, its code run inside the program. Not GetModuleHandle by bare name either: it answers with any module of
// that name the process holds, wherever it came from. A full path gives the module already loaded from that very
// file, or loads it. LOAD_WITH_ALTERED_SEARCH_PATH makes the libraries that one needs in turn be looked for in the
// system folder first too, rather than in the program's. Loaded for the life of the process, like the addresses
// kept from it.
HMODULE LoadFromSystemFolder(const char* library) {
    wchar_t path[MAX_PATH + 64];
    const UINT n = ::GetSystemDirectoryW(path, MAX_PATH + 1);
    if (n == 0 || n > MAX_PATH) return nullptr;
    size_t at = n;
    if (path[at - 1] != L'\\') path[at++] = L'\\';
    // Plain file names only: nothing that could lead out of the folder, and never cut short.
    for (const char* c = library; *c != '\0'; ++c) {
        const unsigned char ch = static_cast<unsigned char>(*c);
        if (ch >= 0x80 || ch == '\\' || ch == '/' || ch == ':' || at + 1 >= sizeof path / sizeof path[0]) return nullptr;
        path[at++] = static_cast<wchar_t>(ch);
    }
    path[at] = L'\0';
    return ::LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

}  // namespace

void* LookUpSystemFunction(const char* library, const char* entry, uint32_t* error) {
    HMODULE module = LoadFromSystemFolder(library);
    void* proc = module != nullptr ? reinterpret_cast<void*>(::GetProcAddress(module, entry)) : nullptr;
    if (error != nullptr) *error = proc != nullptr ? 0 : (module != nullptr ? ERROR_PROC_NOT_FOUND : ERROR_MOD_NOT_FOUND);
    return proc;
}

void* BoundFunctionTable::Address(BoundFunction function, uint32_t* error) {
    if (function < 0 || function >= kBoundFunctionCount) {
        *error = ERROR_INVALID_PARAMETER;
        return nullptr;
    }
    Entry& e = entries_[function];
    if (!e.lookedUp) {
        e.proc = LookUpSystemFunction(names_[function].library, names_[function].entry, &e.error);
        e.lookedUp = true;
    }
    *error = e.error;
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
