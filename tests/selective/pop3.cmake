# POP3 session tests: reply parsing without a server, the session against a
# scripted server thread, and the session against a real Dovecot.
pikuno_add_gtest(test_pop3_reply
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/Pop3ReplyTest.cpp
    LIBS pikuno_core)
pikuno_add_gtest(test_pop3_session
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/Pop3SessionTest.cpp
            ${PROJECT_SOURCE_DIR}/tests/support/Pop3ScriptServer.cpp
    LIBS pikuno_core ws2_32 user32)
