# The .exe's resources, compiled by windres from packaging/tarnwick-download.rc.in into the object library
# tarnwick_win32_resources: the icon that packaging/make_icon.py makes from the component's images (also the
# installer's), the version resource from the project's version, the application manifest
# (packaging/tarnwick-download.exe.manifest.in). The window's tests link them too, so that the window is tested
# as the program shows it: DPI aware, with the common controls 6 and its icon.
enable_language(RC)
find_package(Python3 REQUIRED COMPONENTS Interpreter)

# The names that the file's properties, the manifest and the installer show.
set(TARNWICK_COMPANY "Tarnwick")
set(TARNWICK_PRODUCT_NAME "Tarnwick meeting download")
set(TARNWICK_FILE_VERSION ${PROJECT_VERSION}.0)
string(REPLACE "." "," TARNWICK_FILE_VERSION_COMMAS ${TARNWICK_FILE_VERSION})

set(resources ${CMAKE_BINARY_DIR}/packaging)
set(TARNWICK_ICON ${resources}/tarnwick-download.ico)
set(TARNWICK_MANIFEST ${resources}/tarnwick-download.exe.manifest)
set(image_folder ${PROJECT_SOURCE_DIR}/examples/component/imageTarnwick)
file(GLOB icon_images CONFIGURE_DEPENDS ${image_folder}/*.gif)
add_custom_command(OUTPUT ${TARNWICK_ICON}
  COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/packaging/make_icon.py ${image_folder} ${TARNWICK_ICON}
  DEPENDS ${PROJECT_SOURCE_DIR}/packaging/make_icon.py ${icon_images}
  COMMENT "Making the program's icon from the component's images")
configure_file(${PROJECT_SOURCE_DIR}/packaging/tarnwick-download.exe.manifest.in ${TARNWICK_MANIFEST} @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/packaging/tarnwick-download.rc.in ${resources}/tarnwick-download.rc @ONLY)
set_source_files_properties(${resources}/tarnwick-download.rc PROPERTIES
  OBJECT_DEPENDS "${TARNWICK_ICON};${TARNWICK_MANIFEST}")
add_library(tarnwick_win32_resources OBJECT ${resources}/tarnwick-download.rc)
