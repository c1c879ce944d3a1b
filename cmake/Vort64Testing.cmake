# vort64_add_gtest(target [PROPERTIES name value ...]): registers a GoogleTest
# executable with CTest, with the test properties given.
# Natively every test case becomes a CTest test. In a cross build the tests
# run under an emulator (Wine), where every process start is dear and test
# discovery at build time is fragile, so there the whole executable is one
# CTest test and GoogleTest reports the cases.
include(GoogleTest)

function(vort64_add_gtest target)
  if(CMAKE_CROSSCOMPILING)
    cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "PROPERTIES")
    add_test(NAME ${target} COMMAND ${target})
    set_tests_properties(${target} PROPERTIES TIMEOUT 1200 ${arg_PROPERTIES})
  else()
    gtest_discover_tests(${target} DISCOVERY_TIMEOUT 60 ${ARGN})
  endif()
endfunction()
