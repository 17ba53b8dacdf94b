#pragma once
// The portable half of the class layer, as application code includes it.
#include "classlib/Platform.h"
#include "classlib/CString.h"
#include "classlib/Exceptions.h"
#include "classlib/Arrays.h"
#include "classlib/Files.h"
#include "classlib/Archive.h"
#include "classlib/OleDateTime.h"
