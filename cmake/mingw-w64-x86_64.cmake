# Cross build for 64-bit Windows with Debian's mingw-w64 (posix threads, so that std::thread
# and std::mutex work). Executables are linked statically and run under Wine without DLLs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KAVO3_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KAVO3_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KAVO3_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${KAVO3_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${KAVO3_MINGW_TRIPLET})
# A static Qt for this compiler (scripts/build-qt6-mingw.sh), found by its folder; QT_HOST_PATH
# names the host's Qt of the same version, whose moc, rcc and uic the build runs.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES KAVO3_QT_MINGW_DIR)
if(KAVO3_QT_MINGW_DIR)
    list(APPEND CMAKE_FIND_ROOT_PATH ${KAVO3_QT_MINGW_DIR})
    list(APPEND CMAKE_PREFIX_PATH ${KAVO3_QT_MINGW_DIR})
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
# A release carries no symbol table: half the size of a program with the static Qt.
set(CMAKE_EXE_LINKER_FLAGS_RELEASE_INIT "-s")

# CTest runs the test programs through Wine.
find_program(KAVO3_WINE NAMES wine wine64 wine-stable)
if(KAVO3_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${KAVO3_WINE})
endif()
