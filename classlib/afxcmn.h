#pragma once
// The common controls; this layer keeps them with the rest of the window classes.
#include "classlib/afxwin.h"
