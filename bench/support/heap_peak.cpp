#include "support/heap_peak.h"

#include <algorithm>
#include <atomic>
#include <malloc.h>
#include <mutex>
#include <new>
#include <unordered_map>

// The C library's own entry points, which the definitions below stand in front of.
extern "C" {
void *__libc_malloc(size_t size);
void *__libc_calloc(size_t count, size_t size);
void *__libc_realloc(void *block, size_t size);
void *__libc_memalign(size_t alignment, size_t size);
void __libc_free(void *block);
}

namespace {

// The bookkeeping allocates from the C library directly, never through the counted functions.
template <typename T> struct RawAllocator
{
    using value_type = T;
    RawAllocator() = default;
    template <typename U> RawAllocator(const RawAllocator<U> &) {}
    T *allocate(size_t n)
    {
        if (void *p = __libc_malloc(n * sizeof(T)))
            return static_cast<T *>(p);
        throw std::bad_alloc();
    }
    void deallocate(T *p, size_t) { __libc_free(p); }
    template <typename U> bool operator==(const RawAllocator<U> &) const { return true; }
};

// The blocks allocated while counting, with their sizes: a block allocated before counting began and
// freed while it runs is not taken off, so the peak is the high-water mark of what opening allocated.
using Blocks = std::unordered_map<void *, size_t, std::hash<void *>, std::equal_to<void *>,
                                  RawAllocator<std::pair<void *const, size_t>>>;

std::atomic<bool> g_counting{false};
std::mutex g_mutex;
Blocks *g_blocks = nullptr; // made on first use, kept
size_t g_inUse = 0;
size_t g_peak = 0;

void counted(void *block)
{
    if (!block || !g_counting.load(std::memory_order_relaxed))
        return;
    const size_t size = malloc_usable_size(block);
    const std::lock_guard lock(g_mutex);
    if (!g_counting.load(std::memory_order_relaxed))
        return;
    (*g_blocks)[block] = size;
    g_inUse += size;
    g_peak = std::max(g_peak, g_inUse);
}

void released(void *block)
{
    if (!block || !g_counting.load(std::memory_order_relaxed))
        return;
    const std::lock_guard lock(g_mutex);
    const auto it = g_blocks->find(block);
    if (it == g_blocks->end())
        return;
    g_inUse -= it->second;
    g_blocks->erase(it);
}

} // namespace

extern "C" {

void *malloc(size_t size)
{
    void *block = __libc_malloc(size);
    counted(block);
    return block;
}

void *calloc(size_t count, size_t size)
{
    void *block = __libc_calloc(count, size);
    counted(block);
    return block;
}

void *realloc(void *block, size_t size)
{
    void *moved = __libc_realloc(block, size);
    if (moved || size == 0) {
        released(block);
        counted(moved);
    }
    return moved;
}

void *memalign(size_t alignment, size_t size)
{
    void *block = __libc_memalign(alignment, size);
    counted(block);
    return block;
}

void *aligned_alloc(size_t alignment, size_t size)
{
    return memalign(alignment, size);
}

int posix_memalign(void **out, size_t alignment, size_t size)
{
    void *block = __libc_memalign(alignment, size);
    if (!block)
        return 12; // ENOMEM
    counted(block);
    *out = block;
    return 0;
}

void free(void *block)
{
    released(block);
    __libc_free(block);
}

} // extern "C"

namespace veltrane::bench::heap {

void startCounting()
{
    const std::lock_guard lock(g_mutex);
    if (!g_blocks)
        g_blocks = new (__libc_malloc(sizeof(Blocks))) Blocks();
    g_blocks->clear();
    g_inUse = 0;
    g_peak = 0;
    g_counting = true;
}

void stopCounting()
{
    const std::lock_guard lock(g_mutex);
    g_counting = false;
    g_blocks->clear();
}

std::size_t peakAboveStart()
{
    const std::lock_guard lock(g_mutex);
    return g_peak;
}

} // namespace veltrane::bench::heap
