#pragma once
// PointerList: a growable array of object pointers. It never destroys what it
// points to; its user owns the objects. Capacity is counted in entries
// (default 8) and grows to count + n rounded down to a multiple of 8, plus 8.

#include <cstdint>

namespace qf::core {

class PointerList {
public:
    static constexpr uint32_t kDefaultCapacity = 8;

    PointerList();
    PointerList(const PointerList&) = delete;
    PointerList& operator=(const PointerList&) = delete;
    virtual ~PointerList();

    uint32_t add(void* p); // returns the new count
    uint32_t insert(uint32_t index, void* p); // returns the position used
    void* get(uint32_t index) const; // null when out of range
    void* removeAt(uint32_t index); // returns the removed pointer, null when out of range
    void clear();

    uint32_t count() const { return count_; }
    uint32_t capacity() const { return capacity_; }
    // Iteration: next() returns the entry at the iteration index and advances;
    // null at the end. Every insertion resets the index to 0.
    void* next();
    void resetIteration() { iter_ = 0; }

private:
    void growFor(uint32_t adding);

    void** items_;
    uint32_t count_ = 0;
    uint32_t capacity_;
    uint32_t iter_ = 0;
};

} // namespace qf::core
