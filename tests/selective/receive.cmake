# Tests of the selective receive: the Subject extraction without windows, and the
# command with its dialog against a scripted server, the real dialog resources of
# Pikuno.dll (loaded as data) and the stand-in rasapi32.dll.
pikuno_add_gtest(test_subject_extract
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/SubjectExtractTest.cpp
    LIBS pikuno_core)

if(PIKUNO_CAN_RUN)
    pikuno_add_gtest(test_selective_receive
        SOURCES
            ${CMAKE_CURRENT_LIST_DIR}/SelectiveReceiveTest.cpp
            ${CMAKE_CURRENT_LIST_DIR}/SelectionDialogTest.cpp
            ${CMAKE_CURRENT_LIST_DIR}/ScanTest.cpp
            ${CMAKE_CURRENT_LIST_DIR}/ReceiveFixture.cpp
            ${PROJECT_SOURCE_DIR}/tests/support/ReceiveUi.cpp
            ${PROJECT_SOURCE_DIR}/tests/support/Pop3ScriptServer.cpp
            ${PROJECT_SOURCE_DIR}/tests/support/FrameFakeHost.cpp
            ${PROJECT_SOURCE_DIR}/tests/support/FrameTempDir.cpp
        LIBS pikuno_core ws2_32 user32 gdi32 comctl32
        ENVIRONMENT "WINEDLLOVERRIDES=rasapi32=n,b"
        TIMEOUT 600)
    target_include_directories(test_selective_receive PRIVATE ${PROJECT_SOURCE_DIR}/tests/rasapi32)
    add_dependencies(test_selective_receive Pikuno rasapi32_standin)
endif()

# Benchmark (tools/bench.sh runs it; figures only).
if(PIKUNO_CAN_RUN)
    add_executable(bench_selection ${CMAKE_CURRENT_LIST_DIR}/BenchSelection.cpp
        ${PROJECT_SOURCE_DIR}/tests/support/ReceiveUi.cpp)
    target_include_directories(bench_selection PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
    target_link_libraries(bench_selection PRIVATE pikuno_core ws2_32 user32 comctl32)
    add_dependencies(bench_selection Pikuno)
endif()

# The Subject extraction under libFuzzer with the sanitizers, built natively with clang.
if(PIKUNO_CAN_RUN)
    add_test(NAME subject_extract_fuzz
        COMMAND ${CMAKE_CURRENT_LIST_DIR}/subject-fuzz.sh ${CMAKE_BINARY_DIR}/subject-fuzz 10)
    set_tests_properties(subject_extract_fuzz PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 180)
endif()
