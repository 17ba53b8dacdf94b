# The window half of the class layer (windows build): application, dialogs and message maps,
# common controls, GDI objects, the profile.
add_library(qx48_classlib_win STATIC
  ${CMAKE_CURRENT_LIST_DIR}/CmdTarget.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CommonControls.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Wnd.cpp
  ${CMAKE_CURRENT_LIST_DIR}/DataExchange.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Dialog.cpp
  ${CMAKE_CURRENT_LIST_DIR}/WinApp.cpp
  ${CMAKE_CURRENT_LIST_DIR}/WinMain.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Gdi.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Controls.cpp)
qx48_warnings(qx48_classlib_win)
target_link_libraries(qx48_classlib_win PUBLIC
  qx48_classlib comctl32 gdi32 user32 shell32 shlwapi ole32)
# The C runtime asks for WinMain only after our library has been searched; naming it up front
# makes the linker take it from here (test programs with their own main ignore it). The 32-bit
# name carries stdcall's underscore and argument size; the 64-bit one is plain.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  target_link_options(qx48_classlib_win INTERFACE "-Wl,--undefined=WinMain")
else()
  target_link_options(qx48_classlib_win INTERFACE "-Wl,--undefined=_WinMain@16")
endif()
