# QX48_EWARM_pack.exe: a GUI-subsystem program, statically linked, with its resources.
# The manifest and the version resource name the build's architecture; the manifest is generated
# here, the version header (generated/BuildInfo.h) by the top-level project.
set(QX48_GENERATED_RES ${CMAKE_CURRENT_BINARY_DIR}/generated)
configure_file(${CMAKE_CURRENT_SOURCE_DIR}/res/QX48_EWARM_pack.manifest.in
               ${QX48_GENERATED_RES}/QX48_EWARM_pack.manifest @ONLY)
add_executable(QX48_EWARM_pack WIN32
  ${CMAKE_CURRENT_SOURCE_DIR}/PatchApp.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/PatchDlg.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/InstallationTable.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/InstallRun.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/BrowseForInstallation.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/CheckImages.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/res/QX48_EWARM_pack.rc)
set_source_files_properties(${CMAKE_CURRENT_SOURCE_DIR}/res/QX48_EWARM_pack.rc PROPERTIES
  OBJECT_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/res/QX48_EWARM_pack.ico;${CMAKE_CURRENT_SOURCE_DIR}/res/check_on.bmp;${CMAKE_CURRENT_SOURCE_DIR}/res/check_off.bmp;${QX48_GENERATED_RES}/QX48_EWARM_pack.manifest;${CMAKE_BINARY_DIR}/generated/BuildInfo.h;${CMAKE_CURRENT_SOURCE_DIR}/res/resource.h")
# The generated folder comes first: windres looks for the manifest there.
target_include_directories(QX48_EWARM_pack PRIVATE ${QX48_GENERATED_RES} ${CMAKE_CURRENT_SOURCE_DIR}/res)
target_link_libraries(QX48_EWARM_pack PRIVATE
  qx48_listview qx48_install qx48_toolchain qx48_mailbox qx48_record
  qx48_classlib_win qx48_classlib
  comctl32 shell32 shlwapi ole32 gdi32 user32 advapi32)
qx48_warnings(QX48_EWARM_pack)
