// Memory exhaustion on demand: while a FailAllocations guard lives, every operator new in
// this test program fails (throwing or returning null, as its form requires), but for the
// first `allowed` of them.
#pragma once

namespace kvtest {

class FailAllocations {
 public:
  explicit FailAllocations(int allowed = 0);
  ~FailAllocations();
  FailAllocations(const FailAllocations &) = delete;
  FailAllocations &operator=(const FailAllocations &) = delete;

  // Allocations refused while the guard lived.
  static int refused();
};

}  // namespace kvtest
