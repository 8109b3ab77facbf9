# The same programs for 64-bit Windows. Tests run on this build where the machine's
# kernel cannot run 32-bit programs, and so no 32-bit Wine (scripts/can-run-i386).
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(QV_MINGW_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
