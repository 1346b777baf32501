# Import and offline download: the rows from files, the dialogs and their
# all-or-nothing store; the kill test runs the import in a runner process.
arq_add_test(tst_transfer LABELS unit SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_transfer.cpp
             ${CMAKE_CURRENT_LIST_DIR}/TransferSample.h LIBS arq_online TIMEOUT 120)
# The same imports into a PostgreSQL lab server (worker-thread connections, COPY, all or nothing).
add_test(NAME tst_transfer_pg COMMAND tst_transfer)
set_tests_properties(tst_transfer_pg PROPERTIES LABELS integration TIMEOUT 120
                     ENVIRONMENT "QT_QPA_PLATFORM=offscreen;ARQ_SOURCE_DIR=${PROJECT_SOURCE_DIR};ARQ_BINARY_DIR=${PROJECT_BINARY_DIR};ARQ_TEST_ENGINE=postgresql")

add_executable(arq-transfer-runner ${CMAKE_CURRENT_LIST_DIR}/TransferRunner.cpp
               ${CMAKE_CURRENT_LIST_DIR}/TransferSample.h)
target_link_libraries(arq-transfer-runner PRIVATE arq_online arq_testsupport)
arq_add_test(tst_transfercrash LABELS integration SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_transfercrash.cpp
             ${CMAKE_CURRENT_LIST_DIR}/TransferSample.h LIBS arq_online TIMEOUT 120)
add_dependencies(tst_transfercrash arq-transfer-runner)

# Offline download and import end to end: the dialogs against arq-simulator's
# 1586A memory and the three loggers' own data files.
if(TARGET arq-simulator)
  arq_add_test(tst_transfer_simulator LABELS integration
               SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_transfer_simulator.cpp ${CMAKE_CURRENT_LIST_DIR}/TransferSample.h
               LIBS arq_online TIMEOUT 180)
  add_dependencies(tst_transfer_simulator arq-simulator)
endif()
