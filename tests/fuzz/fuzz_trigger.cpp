// libFuzzer target: random clock steps, jumps and targets; the trigger fires exactly when the rule says, once a passage.
#include <cstdio>
#include <cstdlib>

#include "properties.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string failure = props::TriggerProperty(data, size);
    if (!failure.empty()) {
        std::fprintf(stderr, "trigger property broken: %s\n", failure.c_str());
        std::abort();
    }
    return 0;
}
