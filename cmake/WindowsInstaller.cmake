# The Windows installer, an MSI made with wixl (Debian's msitools) from the stripped executable of the zip:
#   build-windows/tarnwick-download-<version>-windows-x64.msi
# An organisation builds its own with its meeting server's configuration and trusted hosts:
#   -DTARNWICK_INSTALLER_CONFIG=<its Tarnwick.cfg> -DTARNWICK_INSTALLER_TRUSTED_HOSTS=<its TrustedHosts.txt>
set(TARNWICK_INSTALLER_CONFIG ${PROJECT_SOURCE_DIR}/examples/component/Tarnwick.cfg
    CACHE FILEPATH "The Tarnwick.cfg that the installer lays into each user's component folder")
set(TARNWICK_INSTALLER_TRUSTED_HOSTS "" CACHE FILEPATH
    "A TrustedHosts.txt for each user's component folder (the meeting servers that links may name); empty: none")

find_program(TARNWICK_WIXL wixl)
if(NOT TARNWICK_WIXL)
  message(STATUS "wixl (Debian's wixl, from msitools) was not found: the Windows installer is not built")
  return()
endif()

# wixl takes only paths relative to the folder of the .wxs, which is the build folder.
function(tarnwick_installer_source variable path)
  file(RELATIVE_PATH relative ${CMAKE_BINARY_DIR} ${path})
  set(${variable} ${relative} PARENT_SCOPE)
endfunction()
tarnwick_installer_source(TARNWICK_INSTALLER_EXE ${TARNWICK_ZIP_FOLDER}/tarnwick-download.exe)
tarnwick_installer_source(TARNWICK_INSTALLER_README ${PROJECT_SOURCE_DIR}/README.md)
tarnwick_installer_source(TARNWICK_INSTALLER_CONFIG_SOURCE ${TARNWICK_INSTALLER_CONFIG})
set(TARNWICK_INSTALLER_HOSTS_COMPONENT "")
set(TARNWICK_INSTALLER_COMPONENT_REFS "")
if(TARNWICK_INSTALLER_TRUSTED_HOSTS)
  tarnwick_installer_source(hosts ${TARNWICK_INSTALLER_TRUSTED_HOSTS})
  set(TARNWICK_INSTALLER_HOSTS_COMPONENT
      "            <Component Id=\"TrustedHosts\" Guid=\"*\" Win64=\"yes\"><File Id=\"TrustedHosts\" Source=\"${hosts}\" Name=\"TrustedHosts.txt\" KeyPath=\"yes\"/></Component>")
  string(APPEND TARNWICK_INSTALLER_COMPONENT_REFS "      <ComponentRef Id=\"TrustedHosts\"/>\n")
endif()
file(GLOB images CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/examples/component/imageTarnwick/*)
set(TARNWICK_INSTALLER_IMAGE_COMPONENTS "")
set(index 0)
foreach(image ${images})
  get_filename_component(name ${image} NAME)
  tarnwick_installer_source(source ${image})
  math(EXPR index "${index} + 1")
  string(APPEND TARNWICK_INSTALLER_IMAGE_COMPONENTS
    "              <Component Id=\"Image${index}\" Guid=\"*\" Win64=\"yes\"><File Id=\"Image${index}\" Source=\"${source}\" Name=\"${name}\" KeyPath=\"yes\"/></Component>\n")
  string(APPEND TARNWICK_INSTALLER_COMPONENT_REFS "      <ComponentRef Id=\"Image${index}\"/>\n")
endforeach()
configure_file(${PROJECT_SOURCE_DIR}/packaging/tarnwick-download.wxs.in ${CMAKE_BINARY_DIR}/tarnwick-download.wxs @ONLY)

set(TARNWICK_MSI ${CMAKE_BINARY_DIR}/tarnwick-download-${PROJECT_VERSION}-windows-x64.msi)
add_custom_command(OUTPUT ${TARNWICK_MSI}
  COMMAND ${TARNWICK_WIXL} --arch x64 -o ${TARNWICK_MSI} tarnwick-download.wxs
  WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
  DEPENDS ${TARNWICK_ZIP} ${CMAKE_BINARY_DIR}/tarnwick-download.wxs ${images} ${TARNWICK_INSTALLER_CONFIG}
          ${TARNWICK_INSTALLER_TRUSTED_HOSTS}
  COMMENT "Making the installer ${TARNWICK_MSI}")
add_custom_target(windows_installer ALL DEPENDS ${TARNWICK_MSI})
add_dependencies(windows_installer windows_zip)
