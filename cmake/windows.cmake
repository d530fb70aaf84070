# Windows build: the tool, statically linked, and the tests that run under Wine.
set(CMAKE_EXE_LINKER_FLAGS "${CMAKE_EXE_LINKER_FLAGS} -static -static-libgcc -static-libstdc++")
add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)

file(GLOB KORVAN_WIN32_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/src/platform/win32/*.cpp)
list(FILTER KORVAN_WIN32_SOURCES EXCLUDE REGEX "/main\\.cpp$")
set(KORVAN_WIN32_LIBS comctl32 gdiplus ole32 oleaut32 shell32 shlwapi uuid gdi32 user32 advapi32 ws2_32 wininet uxtheme)

add_library(korvan_core STATIC ${KORVAN_PORTABLE_SOURCES} ${KORVAN_WIN32_SOURCES})
target_include_directories(korvan_core PUBLIC src)
target_link_libraries(korvan_core PUBLIC ${KORVAN_WIN32_LIBS})

add_executable(korvan WIN32 src/platform/win32/main.cpp src/resources/korvan.rc)
target_link_libraries(korvan PRIVATE korvan_core)
target_link_options(korvan PRIVATE -municode)
set_target_properties(korvan PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})

# GoogleTest from Debian's source package, built with MinGW.
set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

enable_testing()
include(${CMAKE_CURRENT_SOURCE_DIR}/tests/win/tests.cmake)

# Benchmark of the FTP client (bench/ftp/run drives it against curl).
add_executable(ftp_bench bench/ftp/bench.cpp)
target_link_libraries(ftp_bench PRIVATE korvan_core)
target_link_options(ftp_bench PRIVATE -municode)
set_target_properties(ftp_bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
