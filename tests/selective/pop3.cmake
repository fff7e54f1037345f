# POP3 session tests: reply parsing without a server, the session against a
# scripted server thread, and the session against a real Dovecot.
pikuno_add_gtest(test_pop3_reply
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/Pop3ReplyTest.cpp
    LIBS pikuno_core)
pikuno_add_gtest(test_pop3_session
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/Pop3SessionTest.cpp
            ${CMAKE_CURRENT_LIST_DIR}/MailboxScanTest.cpp
            ${PROJECT_SOURCE_DIR}/tests/support/Pop3ScriptServer.cpp
    LIBS pikuno_core ws2_32 user32)

# Against a real Dovecot: started before the test and stopped after it by CTest
# fixtures (needs root and the Debian package dovecot-pop3d).
if(PIKUNO_CAN_RUN)
    set(pop3_dovecot_dir ${CMAKE_BINARY_DIR}/pop3-dovecot)
    add_test(NAME pop3_dovecot_start
        COMMAND ${CMAKE_CURRENT_LIST_DIR}/pop3-dovecot-setup.sh ${pop3_dovecot_dir})
    add_test(NAME pop3_dovecot_stop
        COMMAND ${PROJECT_SOURCE_DIR}/tools/dovecot.sh stop ${pop3_dovecot_dir})
    set_tests_properties(pop3_dovecot_start PROPERTIES FIXTURES_SETUP pop3_dovecot TIMEOUT 60)
    set_tests_properties(pop3_dovecot_stop PROPERTIES FIXTURES_CLEANUP pop3_dovecot TIMEOUT 60)

    pikuno_add_gtest(test_pop3_dovecot
        SOURCES ${CMAKE_CURRENT_LIST_DIR}/Pop3DovecotTest.cpp
        LIBS pikuno_core ws2_32
        ENVIRONMENT "PIKUNO_POP3_DOVECOT=${pop3_dovecot_dir}"
        TIMEOUT 120)
    set_tests_properties(test_pop3_dovecot PROPERTIES FIXTURES_REQUIRED pop3_dovecot)
endif()

# LIST of 100,000 messages: prints figures (tools/bench.sh); not a ctest test.
if(PIKUNO_CAN_RUN)
    add_executable(bench_pop3
        ${CMAKE_CURRENT_LIST_DIR}/Pop3Bench.cpp
        ${PROJECT_SOURCE_DIR}/tests/support/Pop3ScriptServer.cpp)
    target_include_directories(bench_pop3 PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
    target_link_libraries(bench_pop3 PRIVATE pikuno_core ws2_32)
endif()

# The reply parsers under libFuzzer with the sanitizers, built natively with clang.
if(PIKUNO_CAN_RUN)
    add_test(NAME pop3_reply_fuzz
        COMMAND ${CMAKE_CURRENT_LIST_DIR}/pop3-fuzz.sh ${CMAKE_BINARY_DIR}/pop3-fuzz 10)
    set_tests_properties(pop3_reply_fuzz PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 180)
endif()

# The pipelining window by measurement through a line with latency: figures only.
if(PIKUNO_CAN_RUN)
    add_executable(bench_scan_window
        ${CMAKE_CURRENT_LIST_DIR}/BenchScanWindow.cpp
        ${PROJECT_SOURCE_DIR}/tests/support/Pop3ScriptServer.cpp)
    target_include_directories(bench_scan_window PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
    target_link_libraries(bench_scan_window PRIVATE pikuno_core ws2_32)
endif()
