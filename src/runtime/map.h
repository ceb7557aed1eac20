// String-keyed map with a fixed number of hash slots, and zero-filled arrays.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "runtime/text.h"

// h = h * 65599 + unit over the key's UTF-16 units, 32-bit wrap-around.
uint32_t HashText(TextView key);

template <typename V>
class StringMap {
public:
    // The slot count is fixed at creation; a request below 2 gives one slot (a single chain).
    explicit StringMap(int64_t slotCount) : buckets_(slotCount < 2 ? 1 : static_cast<size_t>(slotCount)) {}

    // The value stored under the key, or nullptr. Keys compare exactly, unit by unit.
    V* FindMapElement(TextView key) {
        for (Element* e = buckets_[Slot(key)].get(); e; e = e->next.get())
            if (e->key == key) return &e->value;
        return nullptr;
    }
    const V* FindMapElement(TextView key) const { return const_cast<StringMap*>(this)->FindMapElement(key); }

    // The existing element's value, or a new value-initialised one linked at the head of its chain.
    V& AddMapElement(TextView key) {
        if (V* found = FindMapElement(key)) return *found;
        auto& head = buckets_[Slot(key)];
        auto element = std::make_unique<Element>();
        element->key = Text(key);
        element->next = std::move(head);
        head = std::move(element);
        ++count_;
        return head->value;
    }

    void ClearMap() {
        for (auto& head : buckets_) {
            // Unlink iteratively so that a long chain cannot exhaust the stack.
            while (head) head = std::move(head->next);
        }
        count_ = 0;
    }

    int64_t MapSize() const { return count_; }
    int64_t SlotCount() const { return static_cast<int64_t>(buckets_.size()); }

    ~StringMap() { ClearMap(); }

private:
    struct Element {
        std::unique_ptr<Element> next;
        Text key;
        V value{};
    };
    size_t Slot(TextView key) const { return HashText(key) % buckets_.size(); }

    std::vector<std::unique_ptr<Element>> buckets_;
    int64_t count_ = 0;
};

// A zero-filled array of `count` elements; re-dimensioning frees the old contents first and a
// count below 1 leaves the array empty.
template <typename T>
class ZeroArray {
public:
    void DimArray(int64_t count) {
        elements_.clear();
        if (count >= 1) elements_.assign(static_cast<size_t>(count), T{});
    }
    void FreeArray() { elements_.clear(); elements_.shrink_to_fit(); }
    T* data() { return elements_.empty() ? nullptr : elements_.data(); }
    int64_t size() const { return static_cast<int64_t>(elements_.size()); }
    T& operator[](int64_t i) { return elements_[static_cast<size_t>(i)]; }
    const T& operator[](int64_t i) const { return elements_[static_cast<size_t>(i)]; }

private:
    std::vector<T> elements_;
};
