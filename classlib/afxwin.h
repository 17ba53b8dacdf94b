#pragma once
// The window half of the class layer, as application code includes it: the application
// object, windows and dialogs with their message maps, the common controls and GDI objects.
#include "classlib/afx.h"
#include "classlib/WinTypes.h"
#include "classlib/MessageMap.h"
#include "classlib/WinApp.h"
#include "classlib/Wnd.h"
#include "classlib/Dialog.h"
#include "classlib/Gdi.h"
#include "classlib/Controls.h"
