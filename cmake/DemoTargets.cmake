# One static library per subsystem folder of src/: every .cpp in the folder belongs to it, so a new
# file needs no edit here. Headers are included by folder, e.g. "framebuffer/surface.h".
function(demo_library name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(sources)
    add_library(${name} STATIC ${sources})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} PUBLIC ${ARG_DEPS})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} INTERFACE ${ARG_DEPS})
  endif()
endfunction()

# One test executable per folder of tests/, registered test by test with CTest.
# SCALAR_TOO registers every test a second time with the SIMD fast paths switched off.
function(demo_test_folder name)
  cmake_parse_arguments(ARG "SCALAR_TOO" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT sources)
    return()
  endif()
  add_executable(test_${name} ${sources})
  target_link_libraries(test_${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gtest_main test_support)
  # A test that hangs (a modal box nobody answers, a window that never maps) fails in time.
  gtest_discover_tests(test_${name} TEST_PREFIX "${name}." DISCOVERY_TIMEOUT 60
                       WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR} PROPERTIES TIMEOUT 300)
  if(ARG_SCALAR_TOO)
    gtest_discover_tests(test_${name} TEST_PREFIX "${name}.scalar." DISCOVERY_TIMEOUT 60
                         WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
                         PROPERTIES ENVIRONMENT "DEMO_NO_SIMD=1" TIMEOUT 300)
  endif()
endfunction()

# One benchmark executable per subsystem: bench/<name>_*.cpp.
function(demo_bench name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${name}_*.cpp)
  if(NOT sources)
    return()
  endif()
  add_executable(bench_${name} ${sources})
  target_link_libraries(bench_${name} PRIVATE ${ARG_DEPS} benchmark::benchmark benchmark::benchmark_main)
endfunction()

# One libFuzzer executable per fuzz/<target>.cpp.
function(demo_fuzz_target source)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  get_filename_component(target ${source} NAME_WE)
  add_executable(fuzz_${target} ${source})
  target_link_options(fuzz_${target} PRIVATE -fsanitize=fuzzer)
  target_link_libraries(fuzz_${target} PRIVATE ${ARG_DEPS})
endfunction()
