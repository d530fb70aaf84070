# Windows tests: GoogleTest binaries built with MinGW, run by CTest under
# Wine (the toolchain's emulator). Each binary is one CTest test.

# A small logging program that stands in for cmd.exe, mstsc.exe and devcon:
# copied into a stand-in system folder handed to the runner under test (or
# onto PATH for devcon), it shows exactly what was started.
add_executable(standin tests/win/standin.cpp)
set_target_properties(standin PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)

# The tests' own update key (tests/fixtures/update_test_key.pub.pem; the
# package server signs with its private half). The tests hand it to the
# signature check themselves, whatever key korvan.exe is built with.
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/generated/test_update_key.h
    COMMAND python3 ${CMAKE_CURRENT_SOURCE_DIR}/cmake/embed_key.py --default tests/fixtures/update_test_key.pub.pem
            --name kTestUpdateKey --out ${CMAKE_BINARY_DIR}/generated/test_update_key.h
    WORKING_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}
    DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/cmake/embed_key.py ${CMAKE_CURRENT_SOURCE_DIR}/tests/fixtures/update_test_key.pub.pem
    VERBATIM)
add_custom_target(test_update_key DEPENDS ${CMAKE_BINARY_DIR}/generated/test_update_key.h)

function(korvan_win_test name)
    add_executable(${name} ${ARGN})
    add_dependencies(${name} test_update_key)
    target_include_directories(${name} PRIVATE ${CMAKE_BINARY_DIR}/generated)
    # The same delay-loaded libraries as korvan.exe, so the tests go through
    # the delay-load helper as the tool does.
    target_link_libraries(${name} PRIVATE korvan_core gtest gmock crypt32 ${KORVAN_DELAY_LIBS} delayimp)
    add_dependencies(${name} delay_libs)
    target_include_directories(${name} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/tests/win)
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
    add_dependencies(${name} standin)
    if(name MATCHES "_http_test$")
        # Talks to the HTTP fixture: run inside the wrapper that starts it.
        add_test(NAME ${name} COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/tests/fixtures/with-http-server
                 ${CMAKE_CURRENT_SOURCE_DIR}/scripts/wine-run $<TARGET_FILE:${name}>)
    elseif(name STREQUAL "win_dns_test")
        # Fixture resolvers on the loopback, their modes in the test's order; the
        # delays 300 ms apart, so a loaded machine cannot reorder the medians.
        add_test(NAME ${name} COMMAND env "KORVAN_DNS_FIXTURE_MODES=fast silent refusing hijacking:300 wrong-id-first:600 slow:900"
                 bash ${CMAKE_CURRENT_SOURCE_DIR}/tests/fixtures/with-dns-servers
                 ${CMAKE_CURRENT_SOURCE_DIR}/scripts/wine-run $<TARGET_FILE:${name}>)
    elseif(name MATCHES "^win_ftp")
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

# The FTP names of a server that refuses UTF-8 once more under the ANSI code
# page of a Chinese Windows (936, GBK): Wine takes it from the locale.
add_test(NAME win_ftp_test_cp936 COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/tests/fixtures/with-chinese-locale
         ${CMAKE_BINARY_DIR}/locale bash ${CMAKE_CURRENT_SOURCE_DIR}/tests/fixtures/with-ftp-server
         ${CMAKE_CURRENT_SOURCE_DIR}/scripts/wine-run $<TARGET_FILE:win_ftp_test>
         --gtest_filter=FtpWine.ChineseNamesCrossAServerThatRefusesUtf8*)
set_tests_properties(win_ftp_test_cp936 PROPERTIES TIMEOUT 300
    ENVIRONMENT "KORVAN_TEST_BIN=${CMAKE_BINARY_DIR}/tests;KORVAN_FIXTURES=${CMAKE_CURRENT_SOURCE_DIR}/tests/fixtures")

# End to end: the real korvan.exe under Wine (and Xvfb), driven from outside.
add_executable(e2e_driver tests/e2e/driver.cpp)
target_link_options(e2e_driver PRIVATE -municode)
set_target_properties(e2e_driver PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
# Shows the FTP window against the fixture for tests/e2e/ftp-screenshot.
add_executable(ftp_show tests/e2e/ftp_show.cpp src/resources/korvan.rc)
target_link_libraries(ftp_show PRIVATE korvan_core)
target_link_options(ftp_show PRIVATE -municode)
set_target_properties(ftp_show PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
# The resource script embeds the skin files too.
add_dependencies(ftp_show skin skin_data)
target_include_directories(ftp_show PRIVATE ${KORVAN_SKIN_DIR})

# korvan.exe must not import wininet, bcrypt, gdiplus or setupapi at load
# time (they are delay-loaded; see cmake/windows.cmake). Its import table is
# read with objdump; KERNEL32 must show, so an empty listing cannot pass.
add_test(NAME korvan_load_time_imports COMMAND bash -c [=[
    set -o pipefail
    names=$("$1" -p "$2" | sed -n 's/^[[:space:]]*DLL Name: //p') || exit 1
    echo "$names"
    grep -qix 'kernel32.dll' <<<"$names" || { echo "no import table read"; exit 1; }
    if grep -iE '^(wininet|bcrypt|gdiplus|setupapi)\.dll$' <<<"$names"; then
        echo "imported at load time: must be delay-loaded"; exit 1
    fi]=] check ${CMAKE_OBJDUMP} $<TARGET_FILE:korvan>)

add_test(NAME e2e COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/tests/e2e/run ${CMAKE_BINARY_DIR})
add_test(NAME e2e_144dpi COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/tests/e2e/run ${CMAKE_BINARY_DIR} 144)
set_tests_properties(e2e e2e_144dpi PROPERTIES TIMEOUT 180)

# A build of the skin library that also logs its calls, for the skin test.
korvan_skin_library(skin_recording SkinH_EL_recording ${CMAKE_BINARY_DIR}/tests)
target_compile_definitions(skin_recording PRIVATE KORVAN_SKIN_RECORDING)
add_dependencies(win_skin_test skin_recording skin_data)
# The skin test also plants this library beside a copy of korvan.exe, under
# the name of a system library korvan.exe loads by name.
add_library(planted_library SHARED tests/win/planted_library.cpp)
set_target_properties(planted_library PROPERTIES PREFIX "" RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
target_link_options(planted_library PRIVATE -static -static-libgcc -static-libstdc++)
add_dependencies(win_skin_test planted_library korvan)

# The package server on the loopback for the update's tests: started before
# them and stopped after them as a CTest fixture; the tests find its port
# in $KORVAN_PACKAGE_SERVER/port.
set(KORVAN_PACKAGE_SERVER_DIR ${CMAKE_BINARY_DIR}/package-server)
add_test(NAME package_server_start
         COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/tests/fixtures/package_server_ctl start ${KORVAN_PACKAGE_SERVER_DIR})
add_test(NAME package_server_stop
         COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/tests/fixtures/package_server_ctl stop ${KORVAN_PACKAGE_SERVER_DIR})
set_tests_properties(package_server_start PROPERTIES FIXTURES_SETUP package_server)
set_tests_properties(package_server_stop PROPERTIES FIXTURES_CLEANUP package_server)
foreach(t win_downloader_test win_update_window_test)
    set_property(TEST ${t} APPEND PROPERTY FIXTURES_REQUIRED package_server)
    set_property(TEST ${t} APPEND PROPERTY ENVIRONMENT KORVAN_PACKAGE_SERVER=${KORVAN_PACKAGE_SERVER_DIR})
endforeach()

# The adapter test starts korvan.exe itself with its elevated verb.
add_dependencies(win_adapter_test korvan)

# A release trusts only the maker's key: scripts/package refuses at once,
# before building anything, while KORVAN_UPDATE_KEY is set. (The signing of
# the exe is checked by scripts/codesign-check, which builds a package.)
add_test(NAME package_refuses_a_test_key COMMAND bash -c [=[
    out=$(KORVAN_UPDATE_KEY=tests/fixtures/update_test_key.pub.pem scripts/package 2>&1)
    rc=$?
    echo "$out"
    [ "$rc" -ne 0 ] || { echo "exit code 0"; exit 1; }
    grep -q "KORVAN_UPDATE_KEY is set" <<<"$out"]=])
set_tests_properties(package_refuses_a_test_key PROPERTIES WORKING_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR})

# The release key is not replaced by accident: on a scratch copy of the
# scripts, scripts/package refuses before building anything outside a git
# checkout, with the key changed since its commit, or without both READMEs;
# scripts/keygen leaves an existing public key alone and writes no private
# one.
add_test(NAME release_scripts_keep_the_committed_key COMMAND bash -c [=[
    set -u
    work=$(mktemp -d) && keys=$(mktemp -d) && trap 'rm -rf "$work" "$keys"' EXIT
    mkdir -p "$work/scripts" "$work/src/resources"
    cp scripts/package scripts/keygen "$work/scripts/"
    cp src/resources/update_key.pem "$work/src/resources/"
    touch "$work/README.md" "$work/README.en.md" "$work/LICENSE"
    refuses() {   # refuses TEXT: scripts/package fails saying TEXT, and built nothing
      out=$(cd "$work" && scripts/package 2>&1) && { echo "packaged: $out"; exit 1; }
      grep -q -- "$1" <<<"$out" || { echo "wanted '$1', got: $out"; exit 1; }
      [ ! -e "$work/build" ] || { echo "built something: $out"; exit 1; }
    }
    refuses "is not a git checkout"
    git -C "$work" init -q && git -C "$work" add -A &&
      git -C "$work" -c user.name=t -c user.email=t@t commit -qm release || exit 1
    echo "changed" >> "$work/src/resources/update_key.pem"
    refuses "update_key.pem is not as last committed"
    git -C "$work" checkout -q HEAD -- src/resources/update_key.pem
    rm "$work/README.en.md"
    refuses "README.en.md is missing"
    before=$(sha256sum "$work/src/resources/update_key.pem")
    (cd "$work" && scripts/keygen "$keys/private.pem") && { echo "keygen replaced the key"; exit 1; }
    [ ! -e "$keys/private.pem" ] || { echo "a private key was written"; exit 1; }
    [ "$(sha256sum "$work/src/resources/update_key.pem")" = "$before" ] || { echo "the public key changed"; exit 1; }
    echo ok]=])
set_tests_properties(release_scripts_keep_the_committed_key PROPERTIES WORKING_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR})

# Shows the remote-safe apply's question for tests/e2e/confirm-screenshot.
add_executable(confirm_show tests/e2e/confirm_show.cpp src/resources/korvan.rc)
target_link_libraries(confirm_show PRIVATE korvan_core)
target_link_options(confirm_show PRIVATE -municode)
set_target_properties(confirm_show PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
add_dependencies(confirm_show skin skin_data)
target_include_directories(confirm_show PRIVATE ${KORVAN_SKIN_DIR})

# Shows a finished DNS test for tests/e2e/dns-screenshot.
add_executable(dns_show tests/e2e/dns_show.cpp src/resources/korvan.rc)
target_link_libraries(dns_show PRIVATE korvan_core)
target_link_options(dns_show PRIVATE -municode)
set_target_properties(dns_show PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
add_dependencies(dns_show skin skin_data)
target_include_directories(dns_show PRIVATE ${KORVAN_SKIN_DIR})
