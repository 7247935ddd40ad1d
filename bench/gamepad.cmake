# The pad on a large game list: press to selection shown, and the cost of an
# attached, idle pad (a plain program printing figures).
add_executable(gamepad_bench ${CMAKE_CURRENT_LIST_DIR}/gamepad/gamepad_bench.cpp)
target_link_libraries(gamepad_bench PRIVATE kdapp kdgamepad PkgConfig::SDL2 kd_warnings)
target_include_directories(gamepad_bench PRIVATE ${CMAKE_CURRENT_LIST_DIR})
target_compile_definitions(gamepad_bench PRIVATE KD_BUNDLE_RESOURCES="${KD_BUNDLE_RESOURCES}")
add_dependencies(gamepad_bench demo-emulator kd_bundle_resources)
