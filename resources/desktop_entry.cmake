# Run by `cmake --install` (and by CPack, which installs the same way): writes the menu entry
# naming the program where this installation puts it. The prefix is only known now, since
# `--prefix DIR` and the package (under /usr) differ from the prefix the build was configured
# with. Set before: template (the entry with @KAVRIN32_DESKTOP_EXEC@), bindir and datadir (as
# configured, relative to the prefix or absolute) and work (a folder of the build).

set(program "${bindir}/kavrin32")
if(NOT IS_ABSOLUTE "${bindir}")
  set(program "${CMAKE_INSTALL_PREFIX}/${program}")
endif()

# Quoted as desktop entries require when the path holds a reserved character (the program
# writes per-user entries by the same rule).
string(REPLACE "%" "%%" exec "${program}")
if(exec MATCHES "[ \t\"'<>~|&;$*?#()`\\\\]")
  string(REPLACE "\\" "\\\\" exec "${exec}")
  string(REPLACE "\"" "\\\"" exec "${exec}")
  string(REPLACE "`" "\\`" exec "${exec}")
  string(REPLACE "$" "\\$" exec "${exec}")
  set(exec "\"${exec}\"")
  string(REPLACE "\\" "\\\\" exec "${exec}")
endif()
set(KAVRIN32_DESKTOP_EXEC "${exec}")

# One folder per destination, so installs into different places at the same time do not
# overwrite each other's entry before it is copied.
string(MD5 destination "$ENV{DESTDIR}|${CMAKE_INSTALL_PREFIX}")
set(staged "${work}/desktop-entry-${destination}")
configure_file("${template}" "${staged}/kavrin32.desktop" @ONLY)

set(applications "${datadir}/applications")
if(NOT IS_ABSOLUTE "${applications}")
  set(applications "${CMAKE_INSTALL_PREFIX}/${applications}")
endif()
file(INSTALL DESTINATION "${applications}" TYPE FILE FILES "${staged}/kavrin32.desktop")
