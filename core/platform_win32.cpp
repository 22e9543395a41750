// The platform layer on Windows: a slim reader/writer lock, a TLS slot for
// the thread's binding, the system's preferred random generator and the C
// runtime's 64-bit clock.
#include "core/platform.h"
#include "core/alloc.h"

#include <windows.h>
#include <bcrypt.h>

#include <ctime>

namespace kova {

// mutex is declared without <windows.h>; it must be able to hold an
// SRWLOCK, whose released state is all zero bits (SRWLOCK_INIT).
static_assert(sizeof(mutex) == sizeof(SRWLOCK), "mutex holds an SRWLOCK");

namespace {
SRWLOCK *srw(mutex *l) { return reinterpret_cast<SRWLOCK *>(l); }
}  // namespace

void mutex_lock(mutex *l) { AcquireSRWLockExclusive(srw(l)); }
void mutex_unlock(mutex *l) { ReleaseSRWLockExclusive(srw(l)); }

namespace {
// Taken when the DLL loads, before any call can read it, and given back when
// it unloads. Should the system have no slot left, every thread keeps the
// default context: reads give null, and no session is made
// (thread_binding_available), so that no host binds one in vain.
struct tls_slot {
    DWORD index = TlsAlloc();
    ~tls_slot() {
        if (index != TLS_OUT_OF_INDEXES) TlsFree(index);
    }
};
tls_slot g_slot;
} // namespace

void *thread_binding() {
    if (g_slot.index == TLS_OUT_OF_INDEXES) return nullptr;
    // TlsGetValue clears the thread's last-error code; a host reading its own
    // error after one of our calls must still find it.
    DWORD saved = GetLastError();
    void *p = TlsGetValue(g_slot.index);
    SetLastError(saved);
    return p;
}

void set_thread_binding(void *p) {
    if (g_slot.index != TLS_OUT_OF_INDEXES) TlsSetValue(g_slot.index, p);
}

bool thread_binding_available() { return g_slot.index != TLS_OUT_OF_INDEXES; }

int random_bytes(void *buf, size_t n) {
    if (fault_random_fails()) return -1;
    auto *p = static_cast<unsigned char *>(buf);
    // BCryptGenRandom takes a ULONG count: ask in pieces that fit.
    while (n > 0) {
        ULONG chunk = n > 0x10000000u ? 0x10000000u : static_cast<ULONG>(n);
        if (!BCRYPT_SUCCESS(BCryptGenRandom(nullptr, p, chunk, BCRYPT_USE_SYSTEM_PREFERRED_RNG))) return -1;
        p += chunk;
        n -= chunk;
    }
    return 0;
}

int64_t time_seconds() { return static_cast<int64_t>(_time64(nullptr)); }

} // namespace kova
