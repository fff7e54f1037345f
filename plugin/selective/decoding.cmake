# Header decoding, the UIDL list and the dial-up connection.
target_sources(pikuno_core PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/HeaderDecode.cpp
    ${CMAKE_CURRENT_LIST_DIR}/UidlList.cpp
    ${CMAKE_CURRENT_LIST_DIR}/DialUp.cpp)
