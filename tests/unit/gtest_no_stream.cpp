// Linked only into the static 32-bit test program. glibc's getaddrinfo, which loads NSS
// modules at run time, draws a linker warning in a static link; GoogleTest calls it only
// to stream results to a socket (--gtest_stream_result_to), which we never ask for, so
// these take its place and simply fail.
#include <netdb.h>

extern "C" int getaddrinfo(const char*, const char*, const addrinfo*, addrinfo** result) noexcept {
    *result = nullptr;
    return EAI_FAIL;
}

extern "C" void freeaddrinfo(addrinfo*) noexcept {}
