# The selective receive command, the message selection dialog and the Subject
# extraction it uses.
target_sources(pikuno_core PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/SelectiveReceive.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SelectionDialog.cpp
    ${CMAKE_CURRENT_LIST_DIR}/MailboxScan.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ScanProgress.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SubjectExtract.cpp)
