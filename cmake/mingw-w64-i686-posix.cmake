# The same cross compiler with the posix thread model, which GoogleTest needs (std::mutex); tests only.
set(TARVEIL_MINGW_THREADS posix)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-i686.cmake)
