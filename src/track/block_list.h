#pragma once
// A sequence of trivially copyable values kept in blocks of a fixed count: appending never
// moves what is kept (a vector copies everything it holds each time it grows, and holds both
// copies meanwhile), and a list that holds whole blocks takes over another's blocks without
// copying them.

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <memory>
#include <type_traits>
#include <utility>
#include <vector>

namespace trevalo {

template <class T, std::size_t kBlockCount = 1024>
class BlockList {
  static_assert(std::is_trivially_copyable_v<T>);

 public:
  BlockList() = default;
  BlockList(const BlockList& other) : size_(other.size_) {
    blocks_.reserve(other.blocks_.size());
    for (const std::unique_ptr<T[]>& block : other.blocks_) {
      blocks_.push_back(std::make_unique_for_overwrite<T[]>(kBlockCount));
      std::copy(block.get(), block.get() + kBlockCount, blocks_.back().get());
    }
  }
  BlockList& operator=(const BlockList& other) {
    if (this != &other) {
      BlockList copy(other);
      *this = std::move(copy);
    }
    return *this;
  }
  BlockList(BlockList&& other) noexcept
      : blocks_(std::move(other.blocks_)), size_(std::exchange(other.size_, 0)) {}
  BlockList& operator=(BlockList&& other) noexcept {
    blocks_ = std::move(other.blocks_);
    size_ = std::exchange(other.size_, 0);
    return *this;
  }

  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }

  // Room for the block pointers of `count` values (the blocks come as they fill).
  void Reserve(std::size_t count) { blocks_.reserve((count + kBlockCount - 1) / kBlockCount); }

  void push_back(const T& value) {
    if (size_ % kBlockCount == 0) {
      blocks_.push_back(std::make_unique_for_overwrite<T[]>(kBlockCount));
    }
    blocks_[size_ / kBlockCount][size_ % kBlockCount] = value;
    ++size_;
  }

  const T& operator[](std::size_t index) const {
    return blocks_[index / kBlockCount][index % kBlockCount];
  }
  T& operator[](std::size_t index) { return blocks_[index / kBlockCount][index % kBlockCount]; }

  // Takes over the blocks of `tail`, which is empty afterwards; nothing is copied. This list
  // must hold whole blocks.
  void Splice(BlockList&& tail) {
    if (size_ % kBlockCount != 0) {
      std::abort();  // a fault of the caller: the tail's values would not follow on
    }
    for (std::unique_ptr<T[]>& block : tail.blocks_) {
      blocks_.push_back(std::move(block));
    }
    size_ += tail.size_;
    tail.Clear();
  }

  // Gives back all memory.
  void Clear() {
    blocks_ = std::vector<std::unique_ptr<T[]>>();
    size_ = 0;
  }

  // Calls `take(value)` for every value in order, giving back each block once its values
  // are taken; the list is empty afterwards.
  template <class Take>
  void Drain(Take take) {
    for (std::size_t b = 0; b < blocks_.size(); ++b) {
      const std::size_t count = std::min(kBlockCount, size_ - b * kBlockCount);
      for (std::size_t i = 0; i < count; ++i) {
        take(blocks_[b][i]);
      }
      blocks_[b].reset();
    }
    Clear();
  }

  // Calls `visit(values, count)` for the values of each block in order.
  template <class Visit>
  void ForEachRun(Visit visit) const {
    for (std::size_t b = 0; b < blocks_.size(); ++b) {
      visit(static_cast<const T*>(blocks_[b].get()),
            std::min(kBlockCount, size_ - b * kBlockCount));
    }
  }

  // Bytes held, for measurements.
  std::size_t memoryBytes() const {
    return blocks_.size() * kBlockCount * sizeof(T) +
           blocks_.capacity() * sizeof(std::unique_ptr<T[]>);
  }

 private:
  std::vector<std::unique_ptr<T[]>> blocks_;
  std::size_t size_ = 0;
};

}  // namespace trevalo
