# Import and offline download: the rows from files, the dialogs and their
# all-or-nothing store; the kill test runs the import in a runner process.
arq_add_test(tst_transfer LABELS unit SOURCES ${CMAKE_CURRENT_LIST_DIR}/tst_transfer.cpp
             ${CMAKE_CURRENT_LIST_DIR}/TransferSample.h LIBS arq_online TIMEOUT 120)

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
