// Factories of the adapters that only the driver patch uses, one per
// service file (<service>_win32.cpp). Only the .cpp files see <windows.h>.
#pragma once
#include <memory>

#include "platform/debug_output.h"
#include "platform/printers.h"
#include "platform/services.h"
#include "platform/top_windows.h"

namespace qz::win32 {

std::unique_ptr<port::Services> MakeServices();
std::unique_ptr<port::Printers> MakePrinters();
std::unique_ptr<port::TopWindows> MakeTopWindows();
std::unique_ptr<port::DebugOutput> MakeDebugOutput();

}  // namespace qz::win32
