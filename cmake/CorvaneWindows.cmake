# Windows resources for a Corvane program: the version in the four parts Windows reads, the
# program icon, and a manifest that makes UTF-8 the process code page and lifts the
# 260-character path limit. A windowed program's manifest also asks for per-monitor DPI
# awareness: the windows are drawn at each screen's own resolution.
#   corvane_windows_resources(TARGET "File description" [WINDOWED])
set(CORVANE_VERSION4 ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH})
if(PROJECT_VERSION_TWEAK STREQUAL "")
  string(APPEND CORVANE_VERSION4 .0)
else()
  string(APPEND CORVANE_VERSION4 .${PROJECT_VERSION_TWEAK})
endif()
string(REPLACE . , CORVANE_VERSION_COMMAS ${CORVANE_VERSION4})

function(corvane_windows_resources target description)
  cmake_parse_arguments(ARG "WINDOWED" "" "" ${ARGN})
  enable_language(RC)
  get_target_property(CORVANE_PROGRAM ${target} OUTPUT_NAME)
  if(NOT CORVANE_PROGRAM)
    set(CORVANE_PROGRAM ${target})
  endif()
  set(CORVANE_DESCRIPTION "${description}")
  set(CORVANE_ICON ${PROJECT_SOURCE_DIR}/ui/resources/corvane.ico)
  set(CORVANE_MANIFEST_DPI "")
  if(ARG_WINDOWED)
    set(CORVANE_MANIFEST_DPI
      "      <dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">true/pm</dpiAware>\n      <dpiAwareness xmlns=\"http://schemas.microsoft.com/SMI/2016/WindowsSettings\">PerMonitorV2</dpiAwareness>\n")
  endif()
  set(CORVANE_MANIFEST ${CMAKE_CURRENT_BINARY_DIR}/${target}.manifest)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/windows/program.manifest.in ${CORVANE_MANIFEST} @ONLY)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/windows/program.rc.in ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc @ONLY)
  target_sources(${target} PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc)
  if(MSVC)
    # MSVC embeds its own manifest unless told not to; ours comes from the resource file.
    target_link_options(${target} PRIVATE /MANIFEST:NO)
  endif()
endfunction()

# corvane_windows_runtime(): with a shared Qt for Windows, copies what the programs need beside
# them in the build's bin folder, as in the portable folder a user unpacks: Qt's libraries, the
# Windows and offscreen platform plugins, the Vista style, and the compiler's runtime libraries
# that Qt's libraries load. Tests then run under Wine from that folder with nothing on PATH.
# Lists what the portable folder needs of it in windows-runtime.txt in the build folder.
function(corvane_windows_runtime)
  get_target_property(core_type Qt6::Core TYPE)
  if(NOT core_type STREQUAL SHARED_LIBRARY)
    return()
  endif()
  set(qt ${QT6_INSTALL_PREFIX})
  set(files)
  foreach(module Core Gui Widgets Test)
    list(APPEND files ${qt}/${QT6_INSTALL_BINS}/Qt6${module}.dll)
  endforeach()
  set(runtime)
  foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
                    OUTPUT_VARIABLE found OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT IS_ABSOLUTE "${found}")
      # The thread library lies beside the target's import libraries.
      set(found /usr/${CORVANE_MINGW_TRIPLET}/lib/${dll})
    endif()
    if(NOT EXISTS "${found}")
      message(FATAL_ERROR "The Windows runtime library ${dll} was not found")
    endif()
    list(APPEND runtime ${found})
  endforeach()
  set(bin ${CMAKE_RUNTIME_OUTPUT_DIRECTORY})
  set(plugins ${qt}/${QT6_INSTALL_PLUGINS})
  add_custom_target(corvane_windows_runtime ALL
    COMMAND ${CMAKE_COMMAND} -E make_directory ${bin}/platforms ${bin}/styles
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${files} ${runtime} ${bin}
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${plugins}/platforms/qwindows.dll
            ${plugins}/platforms/qoffscreen.dll ${bin}/platforms
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${plugins}/styles/qwindowsvistastyle.dll ${bin}/styles
    COMMENT "Qt and the compiler's runtime beside the Windows programs"
    VERBATIM)
  set(names)
  foreach(file ${files} ${runtime})
    get_filename_component(name ${file} NAME)
    list(APPEND names ${name})
  endforeach()
  list(APPEND names platforms/qwindows.dll styles/qwindowsvistastyle.dll)
  list(REMOVE_ITEM names Qt6Test.dll)
  # For packaging/windows/make-packages.sh: what the portable folder takes from bin, and where
  # Qt's licence notices are.
  list(JOIN names "\n" lines)
  file(WRITE ${CMAKE_BINARY_DIR}/windows-runtime.txt "${lines}\n")
  file(WRITE ${CMAKE_BINARY_DIR}/windows-qt-prefix.txt "${qt}\n")
endfunction()
