# Tests of the header decoding, the UIDL list and the dial-up connection.
pikuno_add_gtest(test_uidl_list
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/UidlListTest.cpp
    LIBS pikuno_core)
