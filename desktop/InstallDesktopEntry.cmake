# Installs the desktop entry with Exec naming the installed program by its absolute path, for
# GIO-based file managers hide an entry whose program is not on PATH. Runs at install time, as
# `cmake --install --prefix` may choose the prefix only then. Expects DESKTOP_SOURCE, DESKTOP_BUILD
# (where the entry is written first), BINDIR and DATADIR.
set(bindir "${BINDIR}")
if(NOT IS_ABSOLUTE "${bindir}")
  set(bindir "${CMAKE_INSTALL_PREFIX}/${bindir}")
endif()
set(datadir "${DATADIR}")
if(NOT IS_ABSOLUTE "${datadir}")
  set(datadir "${CMAKE_INSTALL_PREFIX}/${datadir}")
endif()
set(exec "${bindir}/teldviewgl")
if(exec MATCHES "[^A-Za-z0-9/._+-]")
  # Quoted as the desktop entry specification asks: inside double quotes a backslash, a double
  # quote, a backtick and a dollar sign take a backslash, and the entry's own string escapes then
  # double every backslash; a percent sign is doubled.
  string(REPLACE "\\" "\\\\\\\\" exec "${exec}")
  string(REPLACE "\"" "\\\\\"" exec "${exec}")
  string(REPLACE "`" "\\\\`" exec "${exec}")
  string(REPLACE "$" "\\\\$" exec "${exec}")
  string(REPLACE "%" "%%" exec "${exec}")
  set(exec "\"${exec}\"")
endif()
file(READ "${DESKTOP_SOURCE}" entry)
string(REPLACE "Exec=teldviewgl " "Exec=${exec} " entry "${entry}")
file(WRITE "${DESKTOP_BUILD}" "${entry}")
file(INSTALL DESTINATION "${datadir}/applications" TYPE FILE FILES "${DESKTOP_BUILD}")
