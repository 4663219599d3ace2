// A hash map from unsigned 32-bit numbers to owned objects whose iteration order is fixed
// by its hash and growth rules, because that order is the order polygons are drawn in:
// buckets in ascending index, numbers in ascending order inside a bucket.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <utility>
#include <vector>

namespace kv {

// Park-Miller step over the number mixed with a constant; never negative.
constexpr uint32_t numberHash(uint32_t n) {
  const int64_t x = (n ^ 0xDEADBEEFu) & 0x7FFFFFFFu;
  int64_t h = 16807 * (x % 127773) - 2836 * (x / 127773);
  if (h < 0) h += 0x7FFFFFFF;
  return static_cast<uint32_t>(h);
}

template <typename T>
class NumberHashMap {
 public:
  static constexpr size_t kInitialBuckets = 8;
  static constexpr size_t kGrowthLimit = 0x0FFFFFFF;
  static constexpr double kMaxLoad = 4.0;

  struct Entry {
    uint32_t number;
    std::unique_ptr<T> value;
  };

  NumberHashMap() : buckets_(kInitialBuckets) {}

  size_t size() const { return count_; }
  size_t bucketCount() const { return buckets_.size(); }

  T *find(uint32_t number) const {
    const auto &bucket = buckets_[indexOf(number)];
    auto it = lowerBound(bucket, number);
    return it != bucket.end() && it->number == number ? it->value.get() : nullptr;
  }

  // Inserts or replaces; false (and the value is dropped) when memory runs out.
  bool insert(uint32_t number, std::unique_ptr<T> value) {
    try {
      auto &bucket = buckets_[indexOf(number)];
      auto it = lowerBound(bucket, number);
      if (it != bucket.end() && it->number == number) {
        it->value = std::move(value);
        return true;
      }
      bucket.insert(it, Entry{number, std::move(value)});
    } catch (const std::bad_alloc &) {
      return false;
    }
    ++count_;
    if (static_cast<double>(count_) / static_cast<double>(buckets_.size()) > kMaxLoad) grow();
    return true;
  }

  // Calls f(number, value) in iteration order. The values lie wherever they were allocated
  // and hash order visits them at random, so a big map would wait on memory at every
  // value: the value kLookAhead entries on is asked for while f runs.
  template <typename F>
  void forEach(F &&f) const {
    Cursor lead(buckets_);
    for (size_t i = 0; i < kLookAhead && lead.valid(); ++i, lead.next()) prefetch(lead.entry());
    for (const auto &bucket : buckets_)
      for (const auto &e : bucket) {
        if (lead.valid()) {
          prefetch(lead.entry());
          lead.next();
        }
        f(e.number, e.value.get());
      }
  }

  // Erases, in iteration order, every entry for which pred(number, value) holds.
  template <typename P>
  void eraseIf(P &&pred) {
    for (auto &bucket : buckets_) {
      auto end = std::remove_if(bucket.begin(), bucket.end(),
                                [&](const Entry &e) { return pred(e.number, e.value.get()); });
      count_ -= static_cast<size_t>(bucket.end() - end);
      bucket.erase(end, bucket.end());
    }
  }

  // Deletes every element and returns to the initial bucket count. Allocates nothing (the
  // first buckets are kept and the rest dropped), so it works with memory exhausted and can
  // run inside destructors.
  void clear() noexcept {
    for (auto &bucket : buckets_) bucket.clear();
    if (buckets_.size() > kInitialBuckets)
      buckets_.erase(buckets_.begin() + static_cast<std::ptrdiff_t>(kInitialBuckets), buckets_.end());
    count_ = 0;
  }

 private:
  static constexpr size_t kLookAhead = 4;

  // Walks the entries in iteration order.
  class Cursor {
   public:
    explicit Cursor(const std::vector<std::vector<Entry>> &buckets) : buckets_(buckets) { skipEmpty(); }
    bool valid() const { return bucket_ < buckets_.size(); }
    const Entry &entry() const { return buckets_[bucket_][index_]; }
    void next() {
      ++index_;
      skipEmpty();
    }

   private:
    void skipEmpty() {
      while (bucket_ < buckets_.size() && index_ == buckets_[bucket_].size()) {
        ++bucket_;
        index_ = 0;
      }
    }
    const std::vector<std::vector<Entry>> &buckets_;
    size_t bucket_ = 0, index_ = 0;
  };

  // Asks for every cache line of the entry's value.
  static void prefetch(const Entry &e) {
    const auto *bytes = reinterpret_cast<const char *>(e.value.get());
    if (!bytes) return;
    for (size_t offset = 0; offset < sizeof(T); offset += 64) __builtin_prefetch(bytes + offset);
  }

  size_t indexOf(uint32_t number) const { return numberHash(number) & (buckets_.size() - 1); }

  static auto lowerBound(const std::vector<Entry> &bucket, uint32_t number) {
    return std::lower_bound(bucket.begin(), bucket.end(), number,
                            [](const Entry &e, uint32_t n) { return e.number < n; });
  }
  static auto lowerBound(std::vector<Entry> &bucket, uint32_t number) {
    return std::lower_bound(bucket.begin(), bucket.end(), number,
                            [](const Entry &e, uint32_t n) { return e.number < n; });
  }

  // Doubles the bucket count up to three times and places every element again. If memory
  // runs out the map simply keeps its current buckets: only the load factor suffers.
  void grow() {
    size_t target = buckets_.size();
    for (int i = 0; i < 3 && target < kGrowthLimit; ++i) target *= 2;
    if (target == buckets_.size()) return;
    try {
      // Reserve every new bucket before moving anything, so a failure loses no element.
      std::vector<std::vector<Entry>> next(target);
      std::vector<size_t> sizes(target);
      for (auto &bucket : buckets_)
        for (auto &e : bucket) ++sizes[numberHash(e.number) & (target - 1)];
      for (size_t i = 0; i < target; ++i) next[i].reserve(sizes[i]);
      for (auto &bucket : buckets_)
        for (auto &e : bucket) {
          auto &dest = next[numberHash(e.number) & (target - 1)];
          dest.insert(lowerBound(dest, e.number), std::move(e));
        }
      buckets_.swap(next);
    } catch (const std::bad_alloc &) {
    }
  }

  std::vector<std::vector<Entry>> buckets_;
  size_t count_ = 0;
};

}  // namespace kv
