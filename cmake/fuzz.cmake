# libFuzzer targets: a native clang build with ASan + UBSan. Every
# fuzz/<name>_fuzz.cpp is one target named <name>_fuzz, its seeds under
# fuzz/corpus/<name>_fuzz/. scripts/fuzz builds and runs them.
if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "KORVAN_FUZZ needs clang (-DCMAKE_CXX_COMPILER=clang++)")
endif()

set(KORVAN_FUZZ_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
file(GLOB KORVAN_POSIX_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/src/platform/posix/*.cpp)
add_library(korvan_fuzz_core STATIC ${KORVAN_PORTABLE_SOURCES} ${KORVAN_POSIX_SOURCES} src/skin/palette.cpp)
target_include_directories(korvan_fuzz_core PUBLIC src tests/native)
target_compile_options(korvan_fuzz_core PUBLIC ${KORVAN_FUZZ_FLAGS} -fsanitize=fuzzer-no-link)
target_link_options(korvan_fuzz_core PUBLIC -fsanitize=fuzzer,address,undefined)

function(korvan_fuzz_target source)
    get_filename_component(name ${source} NAME_WE)
    add_executable(${name} ${source})
    target_link_libraries(${name} PRIVATE korvan_fuzz_core)
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/targets)
endfunction()

file(GLOB KORVAN_FUZZ_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/fuzz/*_fuzz.cpp)
foreach(f ${KORVAN_FUZZ_SOURCES})
    korvan_fuzz_target(${f})
endforeach()
