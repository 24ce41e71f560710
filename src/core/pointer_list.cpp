#include "core/pointer_list.h"

#include <cstdlib>
#include <cstring>

namespace qf::core {

PointerList::PointerList()
    : items_(static_cast<void**>(std::malloc(kDefaultCapacity * sizeof(void*)))), capacity_(kDefaultCapacity)
{
    if (!items_)
        std::abort();
}

PointerList::~PointerList() { std::free(items_); }

void PointerList::growFor(uint32_t adding)
{
    const uint32_t needed = count_ + adding;
    if (needed <= capacity_)
        return;
    const uint32_t newCapacity = needed / 8 * 8 + 8;
    auto* p = static_cast<void**>(std::realloc(items_, newCapacity * sizeof(void*)));
    if (!p)
        std::abort();
    items_ = p;
    capacity_ = newCapacity;
}

uint32_t PointerList::add(void* p)
{
    growFor(1);
    items_[count_++] = p;
    iter_ = 0;
    return count_;
}

uint32_t PointerList::insert(uint32_t index, void* p)
{
    if (index >= count_) {
        add(p);
        return count_ - 1;
    }
    growFor(1);
    std::memmove(items_ + index + 1, items_ + index, (count_ - index) * sizeof(void*));
    items_[index] = p;
    ++count_;
    iter_ = 0;
    return index;
}

void* PointerList::get(uint32_t index) const { return index < count_ ? items_[index] : nullptr; }

void* PointerList::removeAt(uint32_t index)
{
    if (index >= count_)
        return nullptr;
    void* p = items_[index];
    std::memmove(items_ + index, items_ + index + 1, (count_ - index - 1) * sizeof(void*));
    --count_;
    if (iter_ > index)
        --iter_;
    return p;
}

void PointerList::clear()
{
    count_ = 0;
    iter_ = 0;
}

void* PointerList::next() { return iter_ < count_ ? items_[iter_++] : nullptr; }

} // namespace qf::core
