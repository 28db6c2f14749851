# The core's unit tests as a static 32-bit Linux program, with the host's multilib GCC,
# so its 32-bit size_t and long arithmetic runs in a test (under qemu-i386-static where
# the kernel runs no 32-bit code). The i686 processor gives it the product's SSE2 doubles.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_FLAGS_INIT -m32)
set(CMAKE_CXX_FLAGS_INIT -m32)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-m32 -static")
