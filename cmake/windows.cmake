# Windows build: the tool, statically linked, and the tests that run under Wine.
set(CMAKE_EXE_LINKER_FLAGS "${CMAKE_EXE_LINKER_FLAGS} -static -static-libgcc -static-libstdc++")
add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)

file(GLOB KORVAN_WIN32_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/src/platform/win32/*.cpp)
set(KORVAN_WIN32_LIBS comctl32 gdiplus ole32 oleaut32 shell32 shlwapi uuid gdi32 user32 advapi32 ws2_32 wininet uxtheme setupapi bcrypt)

add_library(korvan_core STATIC ${KORVAN_PORTABLE_SOURCES} ${KORVAN_WIN32_SOURCES})
target_include_directories(korvan_core PUBLIC src)
target_link_libraries(korvan_core PUBLIC ${KORVAN_WIN32_LIBS})

# The skin library and its data file; both are embedded in korvan.exe.
set(KORVAN_SKIN_DIR ${CMAKE_BINARY_DIR}/skin)
function(korvan_skin_library target output dir)
    add_library(${target} SHARED src/skin/skin_dll.cpp src/skin/palette.cpp)
    set_target_properties(${target} PROPERTIES OUTPUT_NAME ${output} PREFIX "" RUNTIME_OUTPUT_DIRECTORY ${dir})
    target_include_directories(${target} PRIVATE src)
    target_link_libraries(${target} PRIVATE comctl32 gdi32 user32 uxtheme msimg32)
    target_link_options(${target} PRIVATE -static -static-libgcc -static-libstdc++ $<$<CONFIG:Release>:-s>)
endfunction()
korvan_skin_library(skin SkinH_EL ${KORVAN_SKIN_DIR})
add_custom_command(OUTPUT ${KORVAN_SKIN_DIR}/skinh.she
    COMMAND ${CMAKE_COMMAND} -E make_directory ${KORVAN_SKIN_DIR}
    COMMAND python3 ${CMAKE_CURRENT_SOURCE_DIR}/src/skin/make_she.py ${KORVAN_SKIN_DIR}/skinh.she
    DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/src/skin/make_she.py)
add_custom_target(skin_data DEPENDS ${KORVAN_SKIN_DIR}/skinh.she)

add_executable(korvan WIN32 src/app/main.cpp src/app/apply_verb_main.cpp src/resources/korvan.rc)
add_dependencies(korvan skin skin_data)
set_property(SOURCE src/resources/korvan.rc APPEND PROPERTY OBJECT_DEPENDS
    ${KORVAN_SKIN_DIR}/SkinH_EL.dll ${KORVAN_SKIN_DIR}/skinh.she)
target_include_directories(korvan PRIVATE ${KORVAN_SKIN_DIR})
target_link_libraries(korvan PRIVATE korvan_core)

# The libraries that are not always among the system's known DLLs are
# delay-loaded by korvan.exe: the loader would otherwise resolve them at
# start, before wWinMain restricts the DLL search to the system folder, and
# look beside the program first, where a planted wininet.dll would be taken.
# Delay-loaded, each is loaded by its first call, from the system folder.
# Each delay-load library is built from the toolchain's own import library
# (every function it names) and comes before the plain one on the link line.
# A failed delay load raises the helper's structured exception (0xC06D007E
# for a missing DLL) at that first call; no catch (...) takes it, so the
# program ends there, where the loader would have refused to start it. The
# system folder always holds these DLLs. The helper, __delayLoadHelper2,
# is in libmingwex here (libdelayimp is empty); delayimp is named for
# toolchains that keep it apart.
set(KORVAN_DELAYED_DLLS wininet bcrypt gdiplus setupapi)
set(KORVAN_DELAY_DIR ${CMAKE_BINARY_DIR}/delayimp)
set(KORVAN_DELAY_LIBS)
foreach(dll ${KORVAN_DELAYED_DLLS})
    find_library(KORVAN_IMPLIB_${dll} ${dll} REQUIRED)
    add_custom_command(OUTPUT ${KORVAN_DELAY_DIR}/lib${dll}_delay.a
        COMMAND ${CMAKE_COMMAND} -E make_directory ${KORVAN_DELAY_DIR}
        COMMAND python3 ${CMAKE_CURRENT_SOURCE_DIR}/cmake/delay_def.py --nm ${CMAKE_NM}
                --lib ${KORVAN_IMPLIB_${dll}} --dll ${dll}.dll --out ${KORVAN_DELAY_DIR}/${dll}.def
        COMMAND ${CMAKE_DLLTOOL} --input-def ${KORVAN_DELAY_DIR}/${dll}.def
                --output-delaylib ${KORVAN_DELAY_DIR}/lib${dll}_delay.a
        DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/cmake/delay_def.py ${KORVAN_IMPLIB_${dll}}
        VERBATIM)
    list(APPEND KORVAN_DELAY_LIBS ${KORVAN_DELAY_DIR}/lib${dll}_delay.a)
endforeach()
add_custom_target(delay_libs DEPENDS ${KORVAN_DELAY_LIBS})
add_dependencies(korvan delay_libs)
target_link_libraries(korvan PRIVATE ${KORVAN_DELAY_LIBS} delayimp)
target_link_options(korvan PRIVATE -municode $<$<CONFIG:Release>:-s>)
set_target_properties(korvan PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})

# The update's public key, built into korvan.exe: the maker's key in
# src/resources/update_key.pem, or the PEM public key file named by
# KORVAN_UPDATE_KEY when that is set while building. The script runs at
# every build and rewrites the header only when the key changed, so a
# change of the variable between two builds rebuilds with the new key. The
# running tool never reads a key from anywhere.
set(KORVAN_GENERATED_DIR ${CMAKE_BINARY_DIR}/generated)
add_custom_target(update_key
    COMMAND python3 ${CMAKE_CURRENT_SOURCE_DIR}/cmake/embed_key.py --env KORVAN_UPDATE_KEY
            --default src/resources/update_key.pem --name kUpdateKey --out ${KORVAN_GENERATED_DIR}/update_key.h
    WORKING_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}
    BYPRODUCTS ${KORVAN_GENERATED_DIR}/update_key.h
    VERBATIM)
add_dependencies(korvan update_key)
target_include_directories(korvan PRIVATE ${KORVAN_GENERATED_DIR})

# GoogleTest from Debian's source package, built with MinGW.
set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

enable_testing()
include(${CMAKE_CURRENT_SOURCE_DIR}/tests/win/tests.cmake)

# Benchmarks: each bench/*.cmake adds its programs (built, run by the bench scripts).
file(GLOB KORVAN_BENCH_FILES CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/bench/*.cmake)
foreach(f ${KORVAN_BENCH_FILES})
    include(${f})
endforeach()
