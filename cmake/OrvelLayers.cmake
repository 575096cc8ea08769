# orvel_layer(<target> <folder> [deps...]): one library per layer folder, built from every .cpp
# file in it (sub-folders included): static, or shared with -DBUILD_SHARED_LIBS=ON (the SONAME
# carries the project's major version). A folder that does not exist yet gives no target, so
# layers can be added one at a time. Dependencies that are not targets (yet) are skipped. Headers
# are found from the repository root while building and from include/ once installed.
function(orvel_layer target folder)
  set(dir ${CMAKE_SOURCE_DIR}/${folder})
  if(NOT EXISTS ${dir})
    return()
  endif()
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${dir}/*.cpp)
  if(NOT sources)
    return()
  endif()
  add_library(${target} ${sources})
  set_target_properties(${target} PROPERTIES VERSION ${PROJECT_VERSION}
                                             SOVERSION ${PROJECT_VERSION_MAJOR})
  target_include_directories(${target} PUBLIC $<BUILD_INTERFACE:${CMAKE_SOURCE_DIR}>
                                              $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
  foreach(dep IN LISTS ARGN)
    if(TARGET ${dep})
      target_link_libraries(${target} PUBLIC ${dep})
    endif()
  endforeach()
endfunction()

# orvel_test_suite(<layer-target> <folder> [extra libs...]): one GoogleTest executable per tests/
# folder, each test registered with CTest. Links the layer under test and the given support
# libraries (those that are targets).
function(orvel_test_suite layer folder)
  set(dir ${CMAKE_SOURCE_DIR}/${folder})
  if(NOT TARGET ${layer} OR NOT EXISTS ${dir})
    return()
  endif()
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${dir}/*.cpp)
  if(NOT sources)
    return()
  endif()
  string(REPLACE "orvel_" "test_" exe ${layer})
  add_executable(${exe} ${sources})
  target_link_libraries(${exe} PRIVATE ${layer} GTest::gtest GTest::gmock GTest::gtest_main)
  foreach(extra IN LISTS ARGN)
    if(TARGET ${extra})
      target_link_libraries(${exe} PRIVATE ${extra})
    endif()
  endforeach()
  target_compile_definitions(${exe} PRIVATE ORVEL_TESTDATA_DIR="${ORVEL_TESTDATA_DIR}")
  gtest_discover_tests(${exe} DISCOVERY_MODE PRE_TEST
                       PROPERTIES ENVIRONMENT "ORVEL_TESTDATA_DIR=${ORVEL_TESTDATA_DIR}")
endfunction()
