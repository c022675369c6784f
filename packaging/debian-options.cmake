# Read by CPack when it makes the package, so that DEB_BUILD_OPTIONS counts at that moment, as in
# Debian's own package builds: with nostrip the programs keep every symbol and no debug-symbol
# package is made; otherwise the symbols go into corvane-dbgsym.
if("$ENV{DEB_BUILD_OPTIONS}" MATCHES "(^|[ \t])nostrip([ \t]|$)")
  set(CPACK_CORVANE_NOSTRIP ON)
  set(CPACK_DEBIAN_DEBUGINFO_PACKAGE OFF)
else()
  set(CPACK_CORVANE_NOSTRIP OFF)
  set(CPACK_DEBIAN_DEBUGINFO_PACKAGE ON)
endif()
