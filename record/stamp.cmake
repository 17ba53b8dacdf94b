# Probing an installation reads its files by the installer's path rules: windows only.
if(QX48_BUILD STREQUAL "windows")
  add_library(qx48_stamp STATIC ${CMAKE_CURRENT_SOURCE_DIR}/ProbeInstalledPatch.cpp)
  target_link_libraries(qx48_stamp PUBLIC qx48_record qx48_install qx48_classlib)
  qx48_warnings(qx48_stamp)
endif()
