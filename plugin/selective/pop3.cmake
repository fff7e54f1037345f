# The POP3 session: reply parsing (no windows.h) and the socket session.
target_sources(pikuno_core PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/Pop3Reply.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Pop3Session.cpp)
