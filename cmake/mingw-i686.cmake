# Cross toolchain for the product: 32-bit Windows with mingw-w64 (posix threads variant: GoogleTest
# needs std::mutex).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Debian's wine wrapper runs the 32-bit loader when wine32 is installed. The DLL alone builds without
# Wine (the release does); CMakeLists.txt asks for it where test programs are to run.
find_program(WINE_PROGRAM wine)
if(WINE_PROGRAM)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${WINE_PROGRAM})
endif()

# What holds only on 32-bit: the stdcall decoration of the entry point and of the exports in the .def.
set(VORPAN_ARCH i686)
set(VORPAN_DLL_ENTRY _DllMain@12)
