#include "classlib/CommonControls.h"

#include <windows.h>
#include <commctrl.h>

void classlib_detail::EnsureCommonControls() {
  static const BOOL registered = [] {
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    return ::InitCommonControlsEx(&controls);
  }();
  (void)registered;
}
