// The page-object interfaces, with the OLE headers asptlb.h expects first.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <oaidl.h>
#include <asptlb.h>
