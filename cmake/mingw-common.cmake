# Shared by the MinGW toolchain files; HE_TRIPLET names the target.
find_program(CMAKE_C_COMPILER ${HE_TRIPLET}-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER ${HE_TRIPLET}-g++ REQUIRED)
find_program(CMAKE_RC_COMPILER ${HE_TRIPLET}-windres REQUIRED)
find_program(HE_OBJDUMP ${HE_TRIPLET}-objdump)

# A compiler for another CPU picked by mistake would build a DLL the host cannot load.
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -dumpmachine OUTPUT_VARIABLE _machine OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT _machine STREQUAL HE_TRIPLET)
  message(FATAL_ERROR "${CMAKE_CXX_COMPILER} targets ${_machine}, not ${HE_TRIPLET}")
endif()

set(CMAKE_FIND_ROOT_PATH /usr/${HE_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Windows programs built here run under Wine (tools/wine-run picks how).
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tools/wine-run)
