# The portable half of the class layer: plain C++17 over Win32 or the C library.
add_library(qx48_classlib STATIC
  ${CMAKE_CURRENT_LIST_DIR}/Archive.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CException.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CString.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Exceptions.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Files.cpp
  ${CMAKE_CURRENT_LIST_DIR}/OleDateTime.cpp)
qx48_warnings(qx48_classlib)
if(QX48_BUILD STREQUAL "windows")
  target_link_libraries(qx48_classlib PUBLIC shlwapi)
endif()
