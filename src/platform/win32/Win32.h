#pragma once

// The one header through which the USB code reaches the operating system: the Windows SDK on
// Windows, our implementation of the same subset (same names, signatures and layouts)
// everywhere else. Only what the USB code calls exists.

#ifdef _WIN32
#include <windows.h>
// clang-format off
#include <dbt.h>
#include <initguid.h>
#include <process.h>
#include <setupapi.h>
#include <usbiodef.h>
#include <winusb.h>
// clang-format on
#else
#include "platform/win32/SetupApi.h"
#include "platform/win32/Win32Kernel.h"
#include "platform/win32/Win32Types.h"
#include "platform/win32/Win32User.h"
#include "platform/win32/WinUsb.h"
#endif
