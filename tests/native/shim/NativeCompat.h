#pragma once
// C-library names of the Microsoft runtime that the Windows-side tests use, for
// their native build. Force-included into the native test programs only.
#include <strings.h>

#define _stricmp strcasecmp
#define _strnicmp strncasecmp
