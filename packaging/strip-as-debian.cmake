# Run by CPack (CPACK_PRE_BUILD_SCRIPTS) on the staged files before it packs them: the .comment
# and .note sections, which lintian names as unneeded, leave the programs as Debian's strip takes
# them out (objcopy, which removes those alone; strip would take the symbols too, and then there
# would be none left to put in the debug-symbol package). CPack then moves the debug symbols into the debug-symbol package and strips what is
# left of them (CPACK_DEBIAN_DEBUGINFO_PACKAGE). With DEB_BUILD_OPTIONS=nostrip, nothing is
# touched (packaging/debian-options.cmake).
if(CPACK_CORVANE_NOSTRIP)
  return()
endif()
file(GLOB_RECURSE programs LIST_DIRECTORIES false "${CPACK_TEMPORARY_DIRECTORY}/*/bin/*")
if(NOT programs)
  message(FATAL_ERROR "No programs to strip under ${CPACK_TEMPORARY_DIRECTORY}")
endif()
foreach(program ${programs})
  execute_process(
    COMMAND ${CPACK_CORVANE_OBJCOPY} --remove-section=.comment --remove-section=.note ${program}
    COMMAND_ERROR_IS_FATAL ANY)
endforeach()
