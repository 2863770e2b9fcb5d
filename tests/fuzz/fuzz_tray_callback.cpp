// libFuzzer target: sequences of mouse events and shell messages; only a left-button-down callback restores.
#include <cstdio>
#include <cstdlib>

#include "properties.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string failure = props::TrayProperty(data, size);
    if (!failure.empty()) {
        std::fprintf(stderr, "tray callback property broken: %s\n", failure.c_str());
        std::abort();
    }
    return 0;
}
