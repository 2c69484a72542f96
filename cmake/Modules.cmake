# selvarin_module(NAME SOURCES... LINKS...): one folder under src/ as one static library.
# Its headers are reached as "NAME/Header.h" through a per-module include root, so include paths
# travel only with links: a module that does not link another cannot include it.
function(selvarin_module name)
  cmake_parse_arguments(M "" "" "SOURCES;LINKS" ${ARGN})
  set(root ${CMAKE_BINARY_DIR}/include/${name})
  file(MAKE_DIRECTORY ${root})
  file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR} ${root}/${name} SYMBOLIC)
  add_library(${name} STATIC ${M_SOURCES})
  target_include_directories(${name} PUBLIC ${root})
  target_link_libraries(${name} PUBLIC ${M_LINKS})
endfunction()

# selvarin_unit_test(NAME SOURCES... LINKS...): one GoogleTest executable, its cases listed in CTest.
function(selvarin_unit_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LINKS;PROPERTIES" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LINKS} GTest::gtest GTest::gmock GTest::gtest_main)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES ${T_PROPERTIES})
endfunction()
