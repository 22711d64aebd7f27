// Large blocks for DKS2VKM: 2 MiB-aligned and advised as transparent huge
// pages. On these machines first-touching fresh memory (a page fault and a
// page clear every 4 KiB) cost more than converting the data in it; with huge
// pages a 1M-triangle model converts about a second faster. Everything else
// goes to malloc as before. Linked into the programs only, not the libraries.
#include <cstdlib>
#include <new>
#include <sys/mman.h>

namespace {

constexpr std::size_t kLarge = std::size_t{1} << 20;
constexpr std::size_t kHugePage = std::size_t{2} << 20;

void* allocate(std::size_t size) {
    if (size < kLarge) return std::malloc(size == 0 ? 1 : size);
    const std::size_t rounded = (size + kHugePage - 1) / kHugePage * kHugePage;
    void* block = std::aligned_alloc(kHugePage, rounded);
    if (block != nullptr) ::madvise(block, rounded, MADV_HUGEPAGE);
    return block;
}

}  // namespace

void* operator new(std::size_t size) {
    if (void* block = allocate(size)) return block;
    throw std::bad_alloc();
}

void* operator new[](std::size_t size) { return ::operator new(size); }
// The nothrow forms too (std::stable_sort's buffer uses them): every form of
// new and delete must come from one family.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return allocate(size); }

// Blocks from malloc and aligned_alloc are both released by free().
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { std::free(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { std::free(block); }
