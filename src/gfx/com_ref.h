// A small owning holder for a COM interface: releases what it holds on every path.
#pragma once

#include <utility>

namespace kv {

template <typename T>
class ComRef {
 public:
  ComRef() = default;
  explicit ComRef(T *p) : p_(p) {}  // takes over a reference the caller already holds
  ComRef(const ComRef &) = delete;
  ComRef &operator=(const ComRef &) = delete;
  ComRef(ComRef &&other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  ComRef &operator=(ComRef &&other) noexcept {
    if (this != &other) reset(std::exchange(other.p_, nullptr));
    return *this;
  }
  ~ComRef() { reset(); }

  T *get() const { return p_; }
  T *operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }

  // For out-parameters of the platform's Create/Get calls: drops what is held first.
  T **put() {
    reset();
    return &p_;
  }

  void reset(T *p = nullptr) {
    if (p_) p_->Release();
    p_ = p;
  }

  T *release() { return std::exchange(p_, nullptr); }

 private:
  T *p_ = nullptr;
};

}  // namespace kv
