#pragma once
// A hash table of 17 buckets that never grows and never removes, whose order is shown to
// the user: buckets 0..16 in turn, and within a bucket the most recent entry first.
//
// Readers on any thread look entries up and walk the table without a lock while one
// writer at a time inserts: each entry is built completely and then published with one
// release store of its bucket's head, so a reader sees either the old chain or the new
// one. Entries live until the table is destroyed.
#include <array>
#include <atomic>
#include <cstddef>
#include <memory>
#include <mutex>
#include <utility>

namespace orvo {

inline constexpr std::size_t kBucketCount = 17;

// BucketOf: a callable type, BucketOf{}(key) -> bucket number before the modulo.
template <class Key, class Value, class BucketOf>
class BucketTable {
 public:
  BucketTable() = default;
  BucketTable(const BucketTable&) = delete;
  BucketTable& operator=(const BucketTable&) = delete;
  ~BucketTable() {
    for (auto& head : heads_) {
      Node* node = head.load(std::memory_order_relaxed);
      while (node) delete std::exchange(node, node->next);
    }
  }

  // The entry stored under `key`, or nullptr. Any thread.
  Value* Find(const Key& key) const {
    for (Node* node = heads_[BucketIndex(key)].load(std::memory_order_acquire); node; node = node->next)
      if (node->key == key) return node->value.get();
    return nullptr;
  }

  // Enters `value` under `key` unless an entry exists already; returns the stored entry
  // (the existing one, when there was one: entries are never replaced).
  Value* Insert(Key key, std::unique_ptr<Value> value) {
    std::lock_guard lock(writer_);
    if (Value* existing = Find(key)) return existing;
    auto& head = heads_[BucketIndex(key)];
    auto* node = new Node{std::move(key), std::move(value), head.load(std::memory_order_relaxed)};
    head.store(node, std::memory_order_release);
    count_.fetch_add(1, std::memory_order_relaxed);
    return node->value.get();
  }

  std::size_t Count() const { return count_.load(std::memory_order_relaxed); }

  // Calls f(key, value) for every entry in the table's order. Any thread; entries
  // inserted meanwhile may or may not be visited.
  template <class F>
  void ForEach(F&& f) const {
    for (const auto& head : heads_)
      for (Node* node = head.load(std::memory_order_acquire); node; node = node->next)
        f(std::as_const(node->key), *node->value);
  }

  static std::size_t BucketIndex(const Key& key) { return BucketOf{}(key) % kBucketCount; }

 private:
  struct Node {
    const Key key;
    const std::unique_ptr<Value> value;
    Node* const next;
  };

  std::array<std::atomic<Node*>, kBucketCount> heads_{};
  std::atomic<std::size_t> count_{0};
  std::mutex writer_;
};

}  // namespace orvo
