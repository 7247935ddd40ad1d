# The play history on the main thread: opening a large one, recording runs.
add_executable(history_bench ${CMAKE_CURRENT_LIST_DIR}/history/history_bench.cpp)
target_include_directories(history_bench PRIVATE ${CMAKE_CURRENT_LIST_DIR}/startup
  ${CMAKE_CURRENT_LIST_DIR}/history)
target_link_libraries(history_bench PRIVATE kdcatalogue Qt6::Sql kd_warnings)
