// Instantiates the interface ids of the page objects (declared by asptlb.h)
// in this one translation unit.
#include <windows.h>
#include <ole2.h>
#include <initguid.h>
#include <asptlb.h>
