# Output of a flooding emulator through EmulatorProcess: throughput and the
# longest pause it causes in the event loop. A plain program that prints figures.
add_executable(emulator_flood_bench ${CMAKE_CURRENT_LIST_DIR}/emulator_flood.cpp)
target_link_libraries(emulator_flood_bench PRIVATE kdemulator kd_warnings)
target_compile_definitions(emulator_flood_bench PRIVATE
  KD_DEMO_EMULATOR="$<TARGET_FILE:demo-emulator>")
add_dependencies(emulator_flood_bench demo-emulator)
