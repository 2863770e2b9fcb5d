// What scripts/check_pe.sh reads that bash reads badly, printed as plain lines:
//   pe_facts bound       the functions the program looks up at run time, from win32/BoundFunctions.h itself: one
//                        "library entry" line each, followed by the Windows the function came with when that is after XP
//   pe_facts icon FILE   the images of an .ico file: one "width height png|dib|other" line each
// Built and run on the host by check_pe.sh.
#include <cstdio>
#include <cstring>
#include <vector>

#include "win32/BoundFunctions.h"

namespace {

int PrintBoundFunctions() {
#define TARVEIL_PRINT(library, entry, type, since) std::printf("%s %s%s%s\n", library, #entry, *since ? " " : "", since);
    TARVEIL_BOUND_FUNCTIONS(TARVEIL_PRINT)
#undef TARVEIL_PRINT
    return 0;
}

// A little-endian number of `bytes` bytes at `at`; 0 past the end.
uint32_t Le(const std::vector<unsigned char>& file, size_t at, int bytes) {
    uint32_t value = 0;
    for (int i = bytes - 1; i >= 0; --i) value = value << 8 | (at + i < file.size() ? file[at + i] : 0);
    return value;
}

// An .ico file: the directory (0, type 1, count), then 16 bytes an image: width, height (0 for 256), ..., the
// image's offset at 12. An image is a PNG (its signature) or a DIB (a 40-byte BITMAPINFOHEADER first).
int PrintIconImages(const char* path) {
    std::FILE* f = std::fopen(path, "rb");
    if (f == nullptr) return 1;
    std::vector<unsigned char> file;
    for (int c; (c = std::fgetc(f)) != EOF;) file.push_back(static_cast<unsigned char>(c));
    std::fclose(f);
    const uint32_t count = Le(file, 4, 2);
    if (Le(file, 0, 2) != 0 || Le(file, 2, 2) != 1 || count == 0 || file.size() < 6 + 16 * count) return 1;
    static const unsigned char kPng[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    for (uint32_t i = 0; i < count; ++i) {
        const size_t entry = 6 + 16 * i;
        const uint32_t offset = Le(file, entry + 12, 4);
        const char* kind = offset + sizeof kPng <= file.size() && std::memcmp(&file[offset], kPng, sizeof kPng) == 0
                               ? "png"
                               : Le(file, offset, 4) == 40 ? "dib" : "other";
        std::printf("%u %u %s\n", file[entry] ? file[entry] : 256u, file[entry + 1] ? file[entry + 1] : 256u, kind);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "bound") == 0) return PrintBoundFunctions();
    if (argc == 3 && std::strcmp(argv[1], "icon") == 0) return PrintIconImages(argv[2]);
    std::fprintf(stderr, "usage: pe_facts bound | pe_facts icon FILE\n");
    return 2;
}
