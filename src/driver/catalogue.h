// The module and device catalogue: two plain exported functions that describe
// the driver module and its device entries to the host before any object
// exists. Standard calling convention (stdcall in the Win32 build, exported
// there as _GetModuleInfo@8 and _GetDeviceInfo@12).
#pragma once

#include <cstdint>

#include "driver/host_records.h"
#include "platform/com_types.h"

namespace kelvora {

constexpr int32_t kCatalogueDeviceCount = 3;

}  // namespace kelvora

// Fills the 144-byte record and returns 1; returns 0 and leaves the record
// untouched when size is not 144 (or the record is missing).
extern "C" int32_t STDAPICALLTYPE GetModuleInfo(kelvora::ModuleInfo* info, uint32_t size);

// Fills the 192-byte record of device 0, 1 or 2 and returns 1. With a wrong
// size (or no record) it returns 0 and touches nothing; with the right size
// and another index it returns 0 and leaves the record zeroed.
extern "C" int32_t STDAPICALLTYPE GetDeviceInfo(int32_t index, kelvora::DeviceInfo* info, uint32_t size);
