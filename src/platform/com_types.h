// The COM base types seam: the real ones on Windows, a minimal equivalent with
// the same names and layouts on POSIX (GUID, HRESULT, IUnknown, the result
// codes and the method calling convention).
#pragma once

#ifdef _WIN32
#include "platform/com_types_win32.h"
#else
#include "platform/com_types_posix.h"
#endif
