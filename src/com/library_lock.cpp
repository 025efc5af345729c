// The lock count is the one state every object of the library shares; hosts
// may create stations from several apartments, so it is atomic.
#include "com/library_lock.h"

#include <atomic>

namespace kelvora {
namespace {
std::atomic<int32_t> lockCount{0};
}

void LockLibrary() { lockCount.fetch_add(1); }
void UnlockLibrary() {
    int32_t count = lockCount.load();
    while (count > 0 && !lockCount.compare_exchange_weak(count, count - 1)) {
    }
}
int32_t LibraryLockCount() { return lockCount.load(); }

}  // namespace kelvora
