// Replaces the C library's allocation entry points with counting ones that forward to its own
// allocator, so that every heap allocation of the process is seen: operator new, ICU's and the
// shared library's calls alike.
#include <atomic>
#include <cstddef>

#include "bench_text.h"

extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* p, std::size_t size);
void* __libc_memalign(std::size_t alignment, std::size_t size);
}

namespace {
std::atomic<long long> g_allocations{0};
void count() { g_allocations.fetch_add(1, std::memory_order_relaxed); }
}  // namespace

extern "C" {
void* malloc(std::size_t size) {
  count();
  return __libc_malloc(size);
}
void* calloc(std::size_t count_of, std::size_t size) {
  count();
  return __libc_calloc(count_of, size);
}
void* realloc(void* p, std::size_t size) {
  count();
  return __libc_realloc(p, size);
}
void* memalign(std::size_t alignment, std::size_t size) {
  count();
  return __libc_memalign(alignment, size);
}
void* aligned_alloc(std::size_t alignment, std::size_t size) {
  count();
  return __libc_memalign(alignment, size);
}
int posix_memalign(void** out, std::size_t alignment, std::size_t size) {
  count();
  void* p = __libc_memalign(alignment, size);
  if (p == nullptr) return 12;  // ENOMEM
  *out = p;
  return 0;
}
}

namespace bench_text {
long long allocations() { return g_allocations.load(std::memory_order_relaxed); }
}  // namespace bench_text
