// Defines the page interfaces' ids, once for the program.
#include <initguid.h>

#include "host/page/AspInterfaces.h"
