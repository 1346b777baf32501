# arq_add_test(<name> LABELS unit|integration SOURCES ... LIBS ... [TIMEOUT s])
# Builds one QtTest executable and registers it with ctest. Every test runs
# offscreen; tests that need a working directory make their own temporary one.
function(arq_add_test name)
  cmake_parse_arguments(T "" "TIMEOUT" "LABELS;SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE Qt5::Test arq_testsupport ${T_LIBS})
  add_test(NAME ${name} COMMAND ${name})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set_tests_properties(${name} PROPERTIES
    LABELS "${T_LABELS}"
    TIMEOUT ${T_TIMEOUT}
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;ARQ_SOURCE_DIR=${PROJECT_SOURCE_DIR};ARQ_BINARY_DIR=${PROJECT_BINARY_DIR}")
endfunction()
