# varenko_add_test(<name> SOURCES <files...> LIBS <targets...>)
# Builds one GoogleTest executable, links the shared test main and registers
# every test case with CTest, headless (offscreen Qt platform).
function(varenko_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  find_package(GTest REQUIRED)
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} varenko_testmain GTest::gtest)
  include(GoogleTest)
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;VARENKO_SOURCE_DIR=${PROJECT_SOURCE_DIR}")
endfunction()
