// The most recent records of a stand-in service, for tests to read. Older ones are dropped,
// so a host that calls the service without end does not grow without end.
#pragma once

#include <cstddef>
#include <deque>
#include <utility>
#include <vector>

#include "testing/win32_control.h"

namespace kvwin32 {

template <typename T>
class RecentRecords {
 public:
  void add(T record) {
    if (records_.size() == kvtest::kRecordsKept) records_.pop_front();
    records_.push_back(std::move(record));
  }
  std::vector<T> list() const { return {records_.begin(), records_.end()}; }
  void clear() { records_.clear(); }

 private:
  std::deque<T> records_;
};

}  // namespace kvwin32
