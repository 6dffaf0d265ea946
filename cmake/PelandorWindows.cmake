# Windows binaries built with MinGW-w64 beside the Linux build: the Windows
# module hosts run under Wine, and the tests' Windows modules. Built only
# where the cross compilers are installed (Debian's mingw-w64); without them
# the program simply has no Windows module host.
find_program(PELANDOR_MINGW64_CXX x86_64-w64-mingw32-g++)
find_program(PELANDOR_MINGW64_CC x86_64-w64-mingw32-gcc)
find_program(PELANDOR_MINGW32_CXX i686-w64-mingw32-g++)
find_program(PELANDOR_MINGW32_CC i686-w64-mingw32-gcc)

# The machine types that can be built: win64 with the x86-64 compilers,
# win32 with the i686 ones.
set(PELANDOR_WINDOWS_MACHINES)
if(PELANDOR_MINGW64_CXX AND PELANDOR_MINGW64_CC)
    list(APPEND PELANDOR_WINDOWS_MACHINES win64)
endif()
if(PELANDOR_MINGW32_CXX AND PELANDOR_MINGW32_CC)
    list(APPEND PELANDOR_WINDOWS_MACHINES win32)
endif()
if(NOT PELANDOR_WINDOWS_MACHINES)
    message(STATUS "No MinGW-w64 compilers: no Windows module host (install mingw-w64)")
endif()

# pelandor_windows_binary(TARGET MACHINE OUTPUT SOURCE [DLL] [DEFINES ...]
#     [INCLUDES ...] [DEPENDS ...]): compiles SOURCE (C or C++ by its extension) for MACHINE
# (win64 or win32) into OUTPUT, statically linked so that it needs no MinGW
# runtime DLL under Wine; a DLL exports its functions by undecorated names.
function(pelandor_windows_binary target machine output source)
    cmake_parse_arguments(W "DLL" "" "DEFINES;INCLUDES;DEPENDS" ${ARGN})
    get_filename_component(extension ${source} LAST_EXT)
    if(machine STREQUAL "win64")
        set(prefix PELANDOR_MINGW64)
    else()
        set(prefix PELANDOR_MINGW32)
    endif()
    if(extension STREQUAL ".c")
        set(compiler ${${prefix}_CC})
        set(language -std=c11)
    else()
        set(compiler ${${prefix}_CXX})
        set(language -std=c++20)
    endif()
    set(flags ${language} -O2 -Wall -Wextra -Werror -static -static-libgcc -I${CMAKE_SOURCE_DIR}/include)
    foreach(folder IN LISTS W_INCLUDES)
        list(APPEND flags -I${folder})
    endforeach()
    if(NOT extension STREQUAL ".c")
        list(APPEND flags -static-libstdc++)
    endif()
    if(W_DLL)
        list(APPEND flags -shared -Wl,--kill-at)
    endif()
    foreach(define IN LISTS W_DEFINES)
        list(APPEND flags -D${define})
    endforeach()
    add_custom_command(OUTPUT ${output}
        COMMAND ${compiler} ${flags} -o ${output} ${source}
        DEPENDS ${source} ${W_DEPENDS}
        COMMENT "Building ${machine} binary ${output}"
        VERBATIM)
    add_custom_target(${target} ALL DEPENDS ${output})
endfunction()
