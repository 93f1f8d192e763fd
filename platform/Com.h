// The one include for COM and BSTR: the Windows SDK headers on Windows, the project's own
// compatibility layer (same C names, same semantics) everywhere else.
#pragma once

#ifdef _WIN32
#include <objbase.h>
#include <oleauto.h>
#else
#include "compat/ComApi.h"
#endif
