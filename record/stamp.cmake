# The version stamp reads the installation's files by the installer's path rules: windows only.
if(QX48_BUILD STREQUAL "windows")
  add_library(qx48_stamp STATIC ${CMAKE_CURRENT_SOURCE_DIR}/VersionStamp.cpp)
  target_link_libraries(qx48_stamp PUBLIC qx48_record qx48_install qx48_classlib)
  qx48_warnings(qx48_stamp)
endif()
