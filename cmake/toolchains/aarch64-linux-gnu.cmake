# Cross-building for 64-bit ARM operator panels on a Debian machine, with
# Debian's cross compiler and the arm64 (multiarch) Qt development packages:
#   cmake -S . -B build/arm64 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/aarch64-linux-gnu.cmake
# scripts/cross-arm64.sh installs what this needs, builds, and runs the
# library's tests under qemu-aarch64.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)

set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)

# Multiarch keeps the arm64 libraries and their CMake packages under
# /usr/lib/aarch64-linux-gnu, beside the build machine's own; programs
# (moc, if ever needed) still come from the build machine.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)

# Test discovery and ctest run the arm64 binaries through the emulator.
find_program(ORDELIN_QEMU_AARCH64 qemu-aarch64 REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${ORDELIN_QEMU_AARCH64})
