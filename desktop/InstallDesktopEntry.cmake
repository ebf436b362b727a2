# Installs the desktop entry and the thumbnailer with TryExec and Exec naming the installed program
# by its absolute path, for GIO-based file managers hide an entry whose program is not on PATH and
# run thumbnailers without one. Runs at install time, as `cmake --install --prefix` may choose the
# prefix only then. Expects ENTRY_SOURCE_DIR (the entries make_desktop_files wrote), ENTRY_BUILD_DIR (where the entries are written
# first), BINDIR and DATADIR.
set(bindir "${BINDIR}")
if(NOT IS_ABSOLUTE "${bindir}")
  set(bindir "${CMAKE_INSTALL_PREFIX}/${bindir}")
endif()
set(datadir "${DATADIR}")
if(NOT IS_ABSOLUTE "${datadir}")
  set(datadir "${CMAKE_INSTALL_PREFIX}/${datadir}")
endif()
set(program "${bindir}/teldviewgl")
set(exec "${program}")
if(exec MATCHES "[^A-Za-z0-9/._+-]")
  # Quoted as desktop entries quote an Exec program: inside double quotes a backslash, a double
  # quote, a backtick and a dollar sign take a backslash, and the entry's own string escapes then
  # double every backslash; a percent sign is doubled.
  string(REPLACE "\\" "\\\\\\\\" exec "${exec}")
  string(REPLACE "\"" "\\\\\"" exec "${exec}")
  string(REPLACE "`" "\\\\`" exec "${exec}")
  string(REPLACE "$" "\\\\$" exec "${exec}")
  string(REPLACE "%" "%%" exec "${exec}")
  set(exec "\"${exec}\"")
endif()
# TryExec is a plain string: only the entry's own escape of a backslash applies.
string(REPLACE "\\" "\\\\" tryexec "${program}")
foreach(entry_file "teldviewgl.desktop;applications" "teldviewgl.thumbnailer;thumbnailers")
  list(GET entry_file 0 name)
  list(GET entry_file 1 folder)
  file(READ "${ENTRY_SOURCE_DIR}/${name}" entry)
  string(REPLACE "Exec=teldviewgl " "Exec=${exec} " entry "${entry}")
  string(REPLACE "TryExec=teldviewgl\n" "TryExec=${tryexec}\n" entry "${entry}")
  file(WRITE "${ENTRY_BUILD_DIR}/${name}" "${entry}")
  file(INSTALL DESTINATION "${datadir}/${folder}" TYPE FILE FILES "${ENTRY_BUILD_DIR}/${name}")
endforeach()
