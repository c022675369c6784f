# Run by CPack (CPACK_PRE_BUILD_SCRIPTS) on the staged files before it packs them: the programs
# are stripped as Debian strips a package's programs, without symbols and without the .comment
# and .note sections, which lintian names as unneeded.
file(GLOB_RECURSE programs LIST_DIRECTORIES false "${CPACK_TEMPORARY_DIRECTORY}/*/bin/*")
if(NOT programs)
  message(FATAL_ERROR "No programs to strip under ${CPACK_TEMPORARY_DIRECTORY}")
endif()
foreach(program ${programs})
  execute_process(
    COMMAND ${CPACK_CORVANE_STRIP} --remove-section=.comment --remove-section=.note --strip-unneeded ${program}
    COMMAND_ERROR_IS_FATAL ANY)
endforeach()
