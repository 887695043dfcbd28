#pragma once
// Storage for the in-memory MFT images. An MFT runs to hundreds of MiB and
// its bytes are read from disk straight into place, so the storage is not
// zeroed first, and large blocks ask for huge pages: faulting the buffer in
// 4 KiB at a time costs more than reading it.
#include <cstddef>
#include <new>
#include <utility>
#include <vector>

namespace vantor {

// Blocks from this size on are aligned for huge pages.
inline constexpr size_t kMftHugeBlock = size_t{8} << 20;
inline constexpr size_t kMftHugeAlign = size_t{2} << 20;

// Asks the system to back [p, p + bytes) with huge pages; a hint only.
void AdviseHugePages(void* p, size_t bytes);

template <class T>
class MftAllocator {
public:
    using value_type = T;
    MftAllocator() = default;
    template <class U>
    MftAllocator(const MftAllocator<U>&) {}

    T* allocate(size_t n) {
        const size_t bytes = n * sizeof(T);
        if (bytes < kMftHugeBlock) return static_cast<T*>(::operator new(bytes));
        void* p = ::operator new(bytes, std::align_val_t{kMftHugeAlign});
        AdviseHugePages(p, bytes);
        return static_cast<T*>(p);
    }
    void deallocate(T* p, size_t n) {
        if (n * sizeof(T) < kMftHugeBlock) ::operator delete(p);
        else ::operator delete(p, std::align_val_t{kMftHugeAlign});
    }
    // resize() leaves new elements uninitialised; every caller fills them.
    template <class U>
    void construct(U* p) noexcept {
        ::new (static_cast<void*>(p)) U;
    }
    template <class U, class... Args>
    void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }

    template <class U>
    bool operator==(const MftAllocator<U>&) const { return true; }
};

using MftBytes = std::vector<std::byte, MftAllocator<std::byte>>;

}  // namespace vantor
