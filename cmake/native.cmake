# Native Linux build: the portable code and its tests.
if(KORVAN_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
    add_link_options(-fsanitize=address,undefined)
endif()

file(GLOB KORVAN_POSIX_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/src/platform/posix/*.cpp)
# The skin's palette arithmetic is portable and tested here too.
add_library(korvan_core STATIC ${KORVAN_PORTABLE_SOURCES} ${KORVAN_POSIX_SOURCES} src/skin/palette.cpp)
target_include_directories(korvan_core PUBLIC src)

find_package(GTest REQUIRED)
enable_testing()
file(GLOB KORVAN_NATIVE_TESTS CONFIGURE_DEPENDS tests/native/*_test.cpp)
add_executable(native_tests ${KORVAN_NATIVE_TESTS})
target_include_directories(native_tests PRIVATE tests/native)
target_link_libraries(native_tests PRIVATE korvan_core GTest::gtest GTest::gtest_main GTest::gmock)
add_test(NAME native_tests COMMAND native_tests)

# The documents check's own test (a script; once, not again under the
# sanitizers).
if(NOT KORVAN_SANITIZE)
    add_test(NAME docs_check_test COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/tests/docs/docs_check_test)
endif()
