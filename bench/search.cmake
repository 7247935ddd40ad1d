# The desktop's search answered by the real launcher through a private bus.
add_executable(search_bench ${CMAKE_CURRENT_LIST_DIR}/search/search_bench.cpp)
target_link_libraries(search_bench PRIVATE Qt6::DBus kd_warnings)
target_compile_definitions(search_bench PRIVATE KD_BUNDLE_RESOURCES="${KD_BUNDLE_RESOURCES}")
add_dependencies(search_bench kaleidrome-launcher demo-emulator kd_bundle_resources)
