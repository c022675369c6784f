# Sourced by the scripts that build the Debian package: the environment Debian's package builds
# run CMake in, for the source folder that is the working directory. The compiler and linker
# flags of dpkg-buildflags, with every hardening feature (bind-now among them) and
# _FORTIFY_SOURCE; CMake reads no CPPFLAGS, so they join CXXFLAGS as debhelper joins them. They
# follow DEB_BUILD_OPTIONS (noopt gives -O0) and map the folder's path away (-ffile-prefix-map),
# so that the same source gives the same files in any folder. SOURCE_DATE_EPOCH, the time of the
# last commit unless set, is the time of every file packed.
corvane_debian_environment() {
  local flags=(env DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get)
  CXXFLAGS="$("${flags[@]}" CXXFLAGS) $("${flags[@]}" CPPFLAGS)"
  LDFLAGS=$("${flags[@]}" LDFLAGS)
  SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || date -r CMakeLists.txt +%s)}
  export CXXFLAGS LDFLAGS SOURCE_DATE_EPOCH
}
