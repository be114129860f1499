# Install step: writes etc/xsat/zor.cfg naming the installed data folder as the file path.
# Runs inside the install script, where CMAKE_INSTALL_PREFIX is the prefix installed to
# and DESTDIR, when set, is the staging root in front of it.
foreach(kind DATA ETC)
  if(IS_ABSOLUTE "${XSAT_${kind}_DEST}")
    set(dir_${kind} "${XSAT_${kind}_DEST}")
  else()
    set(dir_${kind} "${CMAKE_INSTALL_PREFIX}/${XSAT_${kind}_DEST}")
  endif()
endforeach()
set(cfg "$ENV{DESTDIR}${dir_ETC}/zor.cfg")
message(STATUS "Installing: ${cfg}")
file(WRITE "${cfg}"
  "# Installed defaults of xsat, read before ./zor.cfg, /home/zor/etc and\n"
  "# /usr/local/zor/etc, which override them: the data shipped with the program.\n"
  "*file_path ${dir_DATA}/\n")
list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${cfg}")
