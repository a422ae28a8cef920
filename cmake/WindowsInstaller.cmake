# The Windows installers, MSIs made with wixl (Debian's msitools) from the stripped executable of the zip, one
# from the same template (packaging/tarnwick-download.wxs.in) for each scope:
#   build-windows/tarnwick-download-<version>-windows-x64.msi            for all users (administrator rights)
#   build-windows/tarnwick-download-<version>-windows-x64-per-user.msi   for the installing user alone
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
# A component a file for each of `files`, their ids `prefix`1, 2, …, into `variable`, indented by `indent`; each
# one's reference goes into the feature's list.
function(tarnwick_installer_components variable prefix indent)
  set(components "")
  set(index 0)
  foreach(file ${ARGN})
    get_filename_component(name ${file} NAME)
    tarnwick_installer_source(source ${file})
    math(EXPR index "${index} + 1")
    string(APPEND components
      "${indent}<Component Id=\"${prefix}${index}\" Guid=\"*\" Win64=\"yes\"><File Id=\"${prefix}${index}\" Source=\"${source}\" Name=\"${name}\" KeyPath=\"yes\"/></Component>\n")
    string(APPEND TARNWICK_INSTALLER_COMPONENT_REFS "      <ComponentRef Id=\"${prefix}${index}\"/>\n")
  endforeach()
  set(${variable} "${components}" PARENT_SCOPE)
  set(TARNWICK_INSTALLER_COMPONENT_REFS "${TARNWICK_INSTALLER_COMPONENT_REFS}" PARENT_SCOPE)
endfunction()
file(GLOB images CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/examples/component/imageTarnwick/*)
tarnwick_installer_components(TARNWICK_INSTALLER_IMAGE_COMPONENTS Image "              " ${images})
# The pages of docs/ beside the README, as in the zip.
tarnwick_installer_components(TARNWICK_INSTALLER_DOC_COMPONENTS Doc "            " ${TARNWICK_DOCS})
tarnwick_installer_source(TARNWICK_INSTALLER_ICON ${TARNWICK_ICON})

# Each scope: its name's end, its own upgrade code (a newer version replaces an older one of the same scope
# only), where the program goes, where its link and entries are registered.
set(TARNWICK_MSIS "")
foreach(scope perMachine perUser)
  set(TARNWICK_MSI_SCOPE ${scope})
  if(scope STREQUAL perMachine)
    set(suffix "")
    set(TARNWICK_MSI_UPGRADE_CODE 5D1B7C3E-1C0B-4E0A-9F7E-2B7E3C1A9D10)
    set(TARNWICK_MSI_ROOT HKLM)
    set(TARNWICK_MSI_PROGRAMS_OPEN "      <Directory Id=\"ProgramFiles64Folder\">")
    set(TARNWICK_MSI_PROGRAMS_CLOSE "      </Directory>")
  else()
    set(suffix -per-user)
    set(TARNWICK_MSI_UPGRADE_CODE F39EDC10-FEA7-4CC4-8CF6-5BB4B6E146C4)
    set(TARNWICK_MSI_ROOT HKCU)
    set(TARNWICK_MSI_PROGRAMS_OPEN "      <Directory Id=\"LocalAppDataFolder\"><Directory Id=\"UserPrograms\" Name=\"Programs\">")
    set(TARNWICK_MSI_PROGRAMS_CLOSE "      </Directory></Directory>")
  endif()
  # The .wxs beside its MSI, by the same name: the installer's test makes an older version from it.
  set(name tarnwick-download-${PROJECT_VERSION}-windows-x64${suffix})
  configure_file(${PROJECT_SOURCE_DIR}/packaging/tarnwick-download.wxs.in ${CMAKE_BINARY_DIR}/${name}.wxs @ONLY)
  add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/${name}.msi
    COMMAND ${TARNWICK_WIXL} --arch x64 -o ${CMAKE_BINARY_DIR}/${name}.msi ${name}.wxs
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
    DEPENDS ${TARNWICK_ZIP} ${CMAKE_BINARY_DIR}/${name}.wxs ${images} ${TARNWICK_DOCS} ${TARNWICK_INSTALLER_CONFIG}
            ${TARNWICK_INSTALLER_TRUSTED_HOSTS} ${TARNWICK_ICON}
    COMMENT "Making the installer ${name}.msi")
  list(APPEND TARNWICK_MSIS ${CMAKE_BINARY_DIR}/${name}.msi)
endforeach()
list(GET TARNWICK_MSIS 0 TARNWICK_MSI)
list(GET TARNWICK_MSIS 1 TARNWICK_MSI_PER_USER)
add_custom_target(windows_installer ALL DEPENDS ${TARNWICK_MSIS})
add_dependencies(windows_installer windows_zip)
