# Packages, made by the `package` target from what `cmake --install` puts in
# place: for the win32 and win64 presets a ZIP for Windows users (ormidal.dll,
# ormidal.exe, lang\xx\ormidal.ini and README.txt), for a Linux build a .deb.
#   cmake --build --preset win64 --target package   # build/win64/ormidal-VERSION-win64.zip
#   cmake --build --preset linux --target package   # build/linux/ormidal_VERSION_ARCH.deb
set(ORMIDAL_PACKAGE_MAINTAINER "ormidal maintainers <maintainers@ormidal.invalid>"
    CACHE STRING "The Maintainer field of the .deb: name <address>")

set(CPACK_PACKAGE_NAME ormidal)
set(CPACK_PACKAGE_VENDOR ormidal)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Palm database files opened as archives: a packer plug-in")
set(CPACK_PACKAGE_DESCRIPTION
    "ormidal is a packer plug-in for file managers that opens Palm database\n"
    "files (.pdb and .prc: ebooks, notes, photos) as archives: it lists their\n"
    "records, extracts them, converts the whole database to text or picture\n"
    "data, and packs a text file into a new document database. The ormidal\n"
    "command does the same from a shell, loading the plug-in as a file\n"
    "manager does.")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_STRIP_FILES ON)
set(CPACK_SOURCE_GENERATOR TGZ)
set(CPACK_SOURCE_IGNORE_FILES "/\\\\.git/" "/build/" "/build-[^/]*/")

if(WIN32)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(ORMIDAL_BITS 32)
  else()
    set(ORMIDAL_BITS 64)
  endif()
  # Notepad and every other Windows editor show CR LF line ends alike.
  configure_file(${PROJECT_SOURCE_DIR}/packaging/README-windows.txt.in
                 ${CMAKE_BINARY_DIR}/packaging/README.txt @ONLY NEWLINE_STYLE CRLF)
  install(FILES ${CMAKE_BINARY_DIR}/packaging/README.txt DESTINATION .)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME ormidal-${PROJECT_VERSION}-win${ORMIDAL_BITS})
else()
  install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${ORMIDAL_PACKAGE_MAINTAINER}")
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  # The dependencies (libc, libstdc++, zlib) are read from the binaries.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
endif()

include(CPack)
