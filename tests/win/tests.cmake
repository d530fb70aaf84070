# Windows tests: GoogleTest binaries built with MinGW, run by CTest under
# Wine (the toolchain's emulator). Each binary is one CTest test.

# A small logging program that stands in for cmd.exe, mstsc.exe and devcon:
# copied beside a test binary, it is found before the system's own.
add_executable(standin tests/win/standin.cpp)
set_target_properties(standin PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)

function(korvan_win_test name)
    add_executable(${name} ${ARGN})
    target_link_libraries(${name} PRIVATE korvan_core gtest gmock)
    target_include_directories(${name} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/tests/win)
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
    add_dependencies(${name} standin)
    if(name MATCHES "^win_ftp")
        # The FTP client's tests run against a real FTP server started around them.
        add_test(NAME ${name} COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/tests/fixtures/with-ftp-server
                 ${CMAKE_CURRENT_SOURCE_DIR}/scripts/wine-run $<TARGET_FILE:${name}>)
    else()
        add_test(NAME ${name} COMMAND ${name})
    endif()
    set_tests_properties(${name} PROPERTIES TIMEOUT 300
        ENVIRONMENT "KORVAN_TEST_BIN=${CMAKE_BINARY_DIR}/tests;KORVAN_FIXTURES=${CMAKE_CURRENT_SOURCE_DIR}/tests/fixtures")
endfunction()

file(GLOB KORVAN_WIN_TEST_FILES CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/tests/win/*_test.cpp)
foreach(f ${KORVAN_WIN_TEST_FILES})
    get_filename_component(n ${f} NAME_WE)
    korvan_win_test(win_${n} ${f} tests/win/win_main.cpp)
endforeach()

# End to end: the real korvan.exe under Wine (and Xvfb), driven from outside.
add_executable(e2e_driver tests/e2e/driver.cpp)
target_link_options(e2e_driver PRIVATE -municode)
set_target_properties(e2e_driver PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
# Shows the FTP window against the fixture for tests/e2e/ftp-screenshot.
add_executable(ftp_show tests/e2e/ftp_show.cpp src/resources/korvan.rc)
target_link_libraries(ftp_show PRIVATE korvan_core)
target_link_options(ftp_show PRIVATE -municode)
set_target_properties(ftp_show PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)

add_test(NAME e2e COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/tests/e2e/run ${CMAKE_BINARY_DIR})
set_tests_properties(e2e PROPERTIES TIMEOUT 180)
