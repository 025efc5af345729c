// COM base types on Windows: the platform's own.
#pragma once

#include <objbase.h>
#include <unknwn.h>
