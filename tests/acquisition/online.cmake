# Online acquisition engine: rules (unit), the engine against arq-simulator
# and the crash test with the headless runner (integration).
arq_add_test(tst_onlinerules LABELS unit SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_onlinerules.cpp
             LIBS arq_online)

add_executable(arq-online-runner ${CMAKE_CURRENT_LIST_DIR}/OnlineRunner.cpp
               ${CMAKE_CURRENT_LIST_DIR}/OnlineSetup.h ${CMAKE_CURRENT_LIST_DIR}/SimulatorProcess.h)
target_link_libraries(arq-online-runner PRIVATE arq_online)
target_compile_definitions(arq-online-runner PRIVATE ARQ_DEFAULT_BINARY_DIR="${PROJECT_BINARY_DIR}")

foreach(t tst_onlineengine tst_onlinecrash)
  arq_add_test(${t} LABELS integration SOURCES ${CMAKE_CURRENT_LIST_DIR}/${t}.cpp
               ${CMAKE_CURRENT_LIST_DIR}/OnlineSetup.h ${CMAKE_CURRENT_LIST_DIR}/SimulatorProcess.h
               LIBS arq_online TIMEOUT 240)
  target_compile_definitions(${t} PRIVATE ARQ_DEFAULT_BINARY_DIR="${PROJECT_BINARY_DIR}")
  if(TARGET arq-simulator)
    add_dependencies(${t} arq-simulator)
  endif()
endforeach()
add_dependencies(tst_onlinecrash arq-online-runner)
