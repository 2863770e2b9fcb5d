// libFuzzer target: the strict "hh:mm:ss" check against its table oracle, and "OK" hiding the window exactly then.
#include <cstdio>
#include <cstdlib>

#include "properties.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string failure = props::TimeTextProperty(data, size);
    if (!failure.empty()) {
        std::fprintf(stderr, "time check property broken: %s\n", failure.c_str());
        std::abort();
    }
    return 0;
}
