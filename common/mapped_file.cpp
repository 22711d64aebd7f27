#include "common/mapped_file.h"

#include <array>
#include <atomic>
#include <csignal>
#include <mutex>
#include <sys/mman.h>
#include <unistd.h>

namespace common {

namespace {

// The mappings the SIGBUS handler answers for. A handler may only touch
// lock-free atomics; a slot is claimed by setting its end last and freed by
// clearing it first.
struct Slot {
    std::atomic<std::uintptr_t> begin{0}, end{0};
    std::atomic<bool> changed{false};
};
constexpr int kSlots = 32;
std::array<Slot, kSlots> slots;
std::uintptr_t pageSize = 4096;
struct sigaction previous {};

void onBusError(int signal, siginfo_t* info, void* context) {
    const auto address = reinterpret_cast<std::uintptr_t>(info->si_addr);
    for (Slot& slot : slots) {
        const std::uintptr_t end = slot.end.load();
        if (end == 0 || address < slot.begin.load() || address >= end) continue;
        // Past the file's new end: a page of zeros instead, and the reader is told.
        void* page = reinterpret_cast<void*>(address & ~(pageSize - 1));
        if (::mmap(page, pageSize, PROT_READ, MAP_FIXED | MAP_PRIVATE | MAP_ANONYMOUS, -1, 0) == MAP_FAILED) break;
        slot.changed.store(true);
        return;
    }
    // Not one of ours: whatever would have happened without us.
    if (previous.sa_flags & SA_SIGINFO) {
        if (previous.sa_sigaction != nullptr) return previous.sa_sigaction(signal, info, context);
    } else if (previous.sa_handler != SIG_DFL && previous.sa_handler != SIG_IGN) {
        return previous.sa_handler(signal);
    }
    ::sigaction(SIGBUS, &previous, nullptr);
    ::raise(signal);
}

bool installHandler() {
    static const bool installed = [] {
        pageSize = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
        struct sigaction action {};
        action.sa_sigaction = onBusError;
        action.sa_flags = SA_SIGINFO | SA_NODEFER;
        sigemptyset(&action.sa_mask);
        return ::sigaction(SIGBUS, &action, &previous) == 0;
    }();
    return installed;
}

std::mutex slotsMutex;

}  // namespace

std::shared_ptr<MappedFile> MappedFile::map(const InputFile& file) {
    if (!file.ok() || file.size() == 0 || !installHandler()) return nullptr;
    const auto size = static_cast<size_t>(file.size());
    std::lock_guard lock(slotsMutex);
    for (int i = 0; i < kSlots; ++i) {
        Slot& slot = slots[static_cast<size_t>(i)];
        if (slot.end.load() != 0) continue;
        void* data = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, file.descriptor(), 0);
        if (data == MAP_FAILED) return nullptr;
        slot.changed.store(false);
        slot.begin.store(reinterpret_cast<std::uintptr_t>(data));
        slot.end.store(reinterpret_cast<std::uintptr_t>(data) + size);
        return std::make_shared<MappedFile>(Token(), static_cast<const char*>(data), size, i);
    }
    return nullptr;
}

MappedFile::~MappedFile() {
    std::lock_guard lock(slotsMutex);
    slots[static_cast<size_t>(slot_)].end.store(0);
    slots[static_cast<size_t>(slot_)].begin.store(0);
    ::munmap(const_cast<char*>(data_), size_);
}

void MappedFile::release(std::uint64_t offset, std::uint64_t length) const {
    const auto base = reinterpret_cast<std::uintptr_t>(data_);
    const std::uintptr_t from = (base + offset + pageSize - 1) & ~(pageSize - 1);
    const std::uintptr_t to = (base + offset + length) & ~(pageSize - 1);
    if (to > from) ::madvise(reinterpret_cast<void*>(from), to - from, MADV_DONTNEED);
}

bool MappedFile::changed() const { return slots[static_cast<size_t>(slot_)].changed.load(); }

}  // namespace common
