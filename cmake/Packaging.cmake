# What `cmake --install` puts where, and the Debian package that CPack makes of it
# (`cpack -G DEB` in the build folder, or `cmake --build <build> --target package`).
#
#   bin/tarnwick-download
#   bin/tarnwick-publish                           (the meeting server's: writes a meeting folder's manifest)
#   share/man/man1/tarnwick-download.1.gz, tarnwick-publish.1.gz
#   share/doc/tarnwick-download/README.md, docs/*.md   (the README and the pages it links to)
#   share/applications/tarnwick-download.desktop   (the handler of tarnwick-download: links)
#   share/tarnwick-download/component/             (laid into a user's component folder on first use)
include(GNUInstallDirs)

set(TARNWICK_PACKAGE_NAME tarnwick-download)
set(TARNWICK_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)

install(TARGETS tarnwick-download tarnwick-publish RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${TARNWICK_PACKAGE_NAME})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/ DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${TARNWICK_PACKAGE_NAME}/docs
        FILES_MATCHING PATTERN "*.md")
install(FILES ${TARNWICK_PACKAGING_DIR}/tarnwick-download.desktop DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/component/
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/${TARNWICK_PACKAGE_NAME}/component)

# The manual pages carry the version in their footer and are installed compressed, as Debian keeps them.
find_program(TARNWICK_GZIP gzip)
set(TARNWICK_MAN_PAGES "")
foreach(page tarnwick-download.1 tarnwick-publish.1)
  set(filled ${CMAKE_CURRENT_BINARY_DIR}/packaging/${page})
  configure_file(${TARNWICK_PACKAGING_DIR}/${page} ${filled} @ONLY)
  if(TARNWICK_GZIP)
    add_custom_command(
      OUTPUT ${filled}.gz
      COMMAND ${TARNWICK_GZIP} -9 -n -f -k ${filled}
      DEPENDS ${filled}
      COMMENT "Compressing the manual page ${page}"
      VERBATIM)
    list(APPEND TARNWICK_MAN_PAGES ${filled}.gz)
  else()
    list(APPEND TARNWICK_MAN_PAGES ${filled})
  endif()
endforeach()
if(TARNWICK_GZIP)
  add_custom_target(tarnwick_man_page ALL DEPENDS ${TARNWICK_MAN_PAGES})
endif()
install(FILES ${TARNWICK_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The Debian package.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${TARNWICK_PACKAGE_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Tarnwick")
set(CPACK_PACKAGE_CONTACT "Tarnwick download team <download@tarnwick.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "download component of the Tarnwick electronic meeting system")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
  "Fetches a meeting's documents by FTP into the component folder: reads the launch cookie that the\n"
  "meeting page sets, compares the server's update manifest with the copy kept from the last run,\n"
  "downloads every new or changed file one at a time and rewrites the local portal page that lists\n"
  "the meetings on disk. Runs in a small desktop window or on the terminal; texts are Thai\n"
  "(Windows-874 on the wire and on disk). With tarnwick-publish, which writes a meeting folder's\n"
  "manifest on the meeting server.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries come from what the executable links (dpkg-shlibdeps, from dpkg-dev); without that tool,
# the packages that Debian 12 has them in. The Thai font is what the window draws its texts with.
find_program(TARNWICK_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(TARNWICK_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(TARNWICK_DEPENDS "")
else()
  set(TARNWICK_DEPENDS "libc6 (>= 2.34), libstdc++6 (>= 12), libgcc-s1 (>= 3.0), libcurl4 (>= 7.16.2)")
  if(TARNWICK_WITH_QT)
    string(APPEND TARNWICK_DEPENDS ", libqt6core6 (>= 6.4), libqt6gui6 (>= 6.4), libqt6widgets6 (>= 6.4)")
  endif()
endif()
if(TARNWICK_WITH_QT)
  if(TARNWICK_DEPENDS)
    string(APPEND TARNWICK_DEPENDS ", ")
  endif()
  string(APPEND TARNWICK_DEPENDS "fonts-thai-tlwg")
endif()
set(CPACK_DEBIAN_PACKAGE_DEPENDS "${TARNWICK_DEPENDS}")
# --register makes the handler of links the user's default with xdg-mime.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")

set(CPACK_SOURCE_IGNORE_FILES "/\\\\.git/" "/build/" "/build-[^/]*/" "__pycache__")
include(CPack)
