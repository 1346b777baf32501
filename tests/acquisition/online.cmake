# Online acquisition engine: rules (unit), the engine against arq-simulator
# and the crash test with the headless runner (integration).
arq_add_test(tst_onlinerules LABELS unit SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_onlinerules.cpp
             LIBS arq_online)

arq_add_test(tst_heldrows LABELS unit SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_heldrows.cpp
             LIBS arq_online)

add_executable(arq-online-runner ${CMAKE_CURRENT_LIST_DIR}/OnlineRunner.cpp
               ${CMAKE_CURRENT_LIST_DIR}/OnlineSetup.h)
target_link_libraries(arq-online-runner PRIVATE arq_online arq_testsupport)

foreach(t tst_onlineengine tst_onlinecrash)
  arq_add_test(${t} LABELS integration SOURCES ${CMAKE_CURRENT_LIST_DIR}/${t}.cpp
               ${CMAKE_CURRENT_LIST_DIR}/OnlineSetup.h
               LIBS arq_online TIMEOUT 240)
  if(TARGET arq-simulator)
    add_dependencies(${t} arq-simulator)
  endif()
endforeach()
add_dependencies(tst_onlinecrash arq-online-runner)

# Two benches online into one PostgreSQL server (started by the test) through an outage.
arq_add_test(tst_labbenches LABELS integration SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_labbenches.cpp
             ${CMAKE_CURRENT_LIST_DIR}/OnlineSetup.h LIBS arq_online arq_reports TIMEOUT 240)
add_dependencies(tst_labbenches arq-online-runner)
if(TARGET arq-simulator)
  add_dependencies(tst_labbenches arq-simulator)
endif()

# The link to the lab server lost through a proxy: packets swallowed, a COMMIT's answer dropped.
if(TARGET arq-link-proxy)
  arq_add_test(tst_laboutage LABELS integration SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_laboutage.cpp
               ${CMAKE_CURRENT_LIST_DIR}/OnlineSetup.h LIBS arq_online TIMEOUT 300)
  add_dependencies(tst_laboutage arq-online-runner arq-link-proxy)
  if(TARGET arq-simulator)
    add_dependencies(tst_laboutage arq-simulator)
  endif()
endif()
