// One move-only owner for every kind of Win32 handle: files, local memory, GDI objects, windows,
// global atoms and packed DDE message parameters.
#pragma once

#include <utility>

namespace vorkel::win {

// Traits supply the handle type, its empty value and how to release it, e.g.
//   struct FileTraits {
//       using Handle = HANDLE;
//       static Handle empty() { return INVALID_HANDLE_VALUE; }
//       static void release(Handle h) { CloseHandle(h); }
//   };
template <typename Traits>
class UniqueHandle {
  public:
    using Handle = typename Traits::Handle;

    UniqueHandle() = default;
    explicit UniqueHandle(Handle handle) : handle_(handle) {}
    ~UniqueHandle() { reset(); }

    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) {
            reset(other.release());
        }
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    Handle get() const { return handle_; }
    bool valid() const { return handle_ != Traits::empty(); }
    explicit operator bool() const { return valid(); }

    Handle release() { return std::exchange(handle_, Traits::empty()); }
    void reset(Handle handle = Traits::empty()) {
        Handle old = std::exchange(handle_, handle);
        if (old != Traits::empty()) {
            Traits::release(old);
        }
    }

  private:
    Handle handle_ = Traits::empty();
};

}  // namespace vorkel::win
