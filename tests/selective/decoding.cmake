# Tests of the header decoding, the UIDL list and the dial-up connection.
pikuno_add_gtest(test_header_decode
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/HeaderDecodeTest.cpp
    LIBS pikuno_core)

pikuno_add_gtest(test_uidl_list
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/UidlListTest.cpp
    LIBS pikuno_core)

if(PIKUNO_CAN_RUN)
    # Stand-ins for rasapi32.dll: the full one beside the test programs, and three
    # that each lack a function, in folders of their own.
    set(_ras_dir ${PROJECT_SOURCE_DIR}/tests/rasapi32)
    foreach(_variant full nohangup nodial noparams)
        if(_variant STREQUAL "full")
            set(_target rasapi32_standin)
            set(_def ${_ras_dir}/rasapi32.def)
            set(_out ${CMAKE_RUNTIME_OUTPUT_DIRECTORY})
        else()
            set(_target rasapi32_standin_${_variant})
            set(_def ${_ras_dir}/rasapi32-${_variant}.def)
            set(_out ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/rasvariants/${_variant})
        endif()
        add_library(${_target} SHARED ${_ras_dir}/RasStandIn.cpp ${_def})
        target_include_directories(${_target} PRIVATE ${_ras_dir})
        target_link_libraries(${_target} PRIVATE pikuno_common)
        set_target_properties(${_target} PROPERTIES PREFIX "" OUTPUT_NAME rasapi32
            RUNTIME_OUTPUT_DIRECTORY ${_out})
    endforeach()

    pikuno_add_gtest(test_dialup
        SOURCES ${CMAKE_CURRENT_LIST_DIR}/DialUpTest.cpp
        LIBS pikuno_core
        ENVIRONMENT "WINEDLLOVERRIDES=rasapi32=n,b")
    target_include_directories(test_dialup PRIVATE ${_ras_dir})
    add_dependencies(test_dialup rasapi32_standin rasapi32_standin_nohangup
        rasapi32_standin_nodial rasapi32_standin_noparams)

    # The same program with the library disabled altogether.
    add_test(NAME test_dialup_without_ras
        COMMAND test_dialup --gtest_brief=1 --gtest_filter=DialUpWithoutRas.*
        WORKING_DIRECTORY ${CMAKE_RUNTIME_OUTPUT_DIRECTORY})
    set_tests_properties(test_dialup_without_ras PROPERTIES TIMEOUT 120
        ENVIRONMENT "WINEDLLOVERRIDES=rasapi32=;PIKUNO_RAS_DISABLED=1")
endif()

# Benchmark (run by tools/bench.sh, not by ctest).
if(PIKUNO_CAN_RUN)
    add_executable(bench_decode ${CMAKE_CURRENT_LIST_DIR}/BenchDecode.cpp)
    target_link_libraries(bench_decode PRIVATE pikuno_core)
endif()
