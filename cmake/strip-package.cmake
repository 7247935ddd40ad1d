# Run by CPack before it packs: strips every ELF file of the staged tree, as
# Debian wants (the bundle is installed as a folder, which CPack's own
# stripping does not look into).
file(GLOB_RECURSE kd_staged LIST_DIRECTORIES false "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*")
foreach(file IN LISTS kd_staged)
  if(IS_SYMLINK "${file}")
    continue()
  endif()
  file(READ "${file}" kd_magic LIMIT 4 HEX)
  if(kd_magic STREQUAL "7f454c46")
    execute_process(COMMAND strip --strip-unneeded --remove-section=.comment
                            --remove-section=.note "${file}" COMMAND_ERROR_IS_FATAL ANY)
  endif()
endforeach()
