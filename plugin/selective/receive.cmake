# The selective receive command.
target_sources(pikuno_core PRIVATE ${CMAKE_CURRENT_LIST_DIR}/SelectiveReceive.cpp)
