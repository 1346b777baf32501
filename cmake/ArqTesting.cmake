# arq_add_test(<name> LABELS unit|integration SOURCES ... LIBS ... [TIMEOUT s] [SHARDS n])
# Builds one QtTest executable and registers it with ctest. Every test runs
# offscreen; tests that need a working directory make their own temporary one.
# SHARDS n registers n tests <name>_1 … <name>_n, each running every n-th test
# function (TestSupport::shardSkip in the test's init()), so that a long
# program runs beside others instead of after them.
function(arq_add_test name)
  cmake_parse_arguments(T "" "TIMEOUT;SHARDS" "LABELS;SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE Qt5::Test arq_testsupport ${T_LIBS})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set(env "QT_QPA_PLATFORM=offscreen;ARQ_SOURCE_DIR=${PROJECT_SOURCE_DIR};ARQ_BINARY_DIR=${PROJECT_BINARY_DIR}")
  if(T_SHARDS)
    math(EXPR last "${T_SHARDS} - 1")
    foreach(i RANGE ${last})
      math(EXPR n "${i} + 1")
      add_test(NAME ${name}_${n} COMMAND ${name})
      set_tests_properties(${name}_${n} PROPERTIES LABELS "${T_LABELS}" TIMEOUT ${T_TIMEOUT}
                           ENVIRONMENT "${env};ARQ_TEST_SHARD=${i}/${T_SHARDS}")
    endforeach()
  else()
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES LABELS "${T_LABELS}" TIMEOUT ${T_TIMEOUT} ENVIRONMENT "${env}")
  endif()
endfunction()
