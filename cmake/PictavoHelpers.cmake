# pictavo_sources(VAR dir...): every .cpp under the given folders (non-recursive).
function(pictavo_sources var)
  set(out)
  foreach(dir ${ARGN})
    file(GLOB found CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/*.cpp)
    list(APPEND out ${found})
  endforeach()
  set(${var} ${out} PARENT_SCOPE)
endfunction()

# pictavo_test_suite(AREA LIBS... [LABELS l...]): one GoogleTest program, test-AREA,
# from every .cpp in tests/AREA. Label "threads" marks suites that also run under TSan.
function(pictavo_test_suite area)
  cmake_parse_arguments(T "" "" "LIBS;LABELS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${area}/*.cpp)
  if(NOT srcs)
    return()
  endif()
  set(exe test-${area})
  string(REPLACE "/" "-" exe ${exe})
  add_executable(${exe} ${srcs})
  target_link_libraries(${exe} PRIVATE ${T_LIBS} pictavo-testsupport GTest::gtest GTest::gmock Threads::Threads)
  target_compile_definitions(${exe} PRIVATE
    PICTAVO_SOURCE_DIR="${CMAKE_SOURCE_DIR}" PICTAVO_BINARY_DIR="${CMAKE_BINARY_DIR}")
  # One label only: a list would be spread into the property arguments.
  set(label ${area})
  if(T_LABELS)
    list(GET T_LABELS 0 label)
  endif()
  gtest_discover_tests(${exe} DISCOVERY_TIMEOUT 60 TEST_PREFIX "${area}:"
    PROPERTIES LABELS ${label} TIMEOUT 300
    ENVIRONMENT "PICTAVO_BIN=${CMAKE_BINARY_DIR}/bin")
endfunction()
