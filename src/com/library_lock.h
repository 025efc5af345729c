// The library's lock count: live station objects plus the server locks taken
// through the class objects. DllCanUnloadNow answers from it.
#pragma once

#include <cstdint>

namespace kelvora {

void LockLibrary();
// Never below zero: an unbalanced LockServer(FALSE) is ignored.
void UnlockLibrary();
int32_t LibraryLockCount();

}  // namespace kelvora
