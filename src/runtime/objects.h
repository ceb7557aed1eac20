// Numbered objects: files, windows, gadgets and menus are named by small numbers that the program
// chooses, or created with AnyNumber and then named by the handle that creation returns.
#pragma once

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

inline constexpr int64_t AnyNumber = -1;
// Numbers are small and chosen by the program; a value this large (a stale handle or garbage) would
// otherwise make the numbered part grow to its size.
inline constexpr int64_t MaxObjectNumber = 1000000;

template <typename T>
class ObjectTable {
public:
    explicit ObjectTable(int64_t growthStep) : growthStep_(growthStep) {}
    ObjectTable(const ObjectTable&) = delete;
    ObjectTable& operator=(const ObjectTable&) = delete;

    // Creates an object under `number`, or under a new handle for AnyNumber. An object already
    // living under that number is destroyed first. Returns the record; `number` receives the
    // handle for AnyNumber. Negative numbers other than AnyNumber, and numbers above
    // MaxObjectNumber, are refused (nullptr).
    T* Create(int64_t& number) {
        if (number == AnyNumber) {
            auto record = std::make_unique<T>();
            T* raw = record.get();
            // The record's address is unique while it lives and always lies beyond the numbered part.
            number = static_cast<int64_t>(reinterpret_cast<uintptr_t>(raw));
            dynamic_[number] = std::move(record);
            return raw;
        }
        if (number < 0 || number > MaxObjectNumber) return nullptr;
        if (number >= Capacity()) numbered_.resize(static_cast<size_t>(number + growthStep_));
        numbered_[static_cast<size_t>(number)].reset();  // the old object goes first
        numbered_[static_cast<size_t>(number)] = std::make_unique<T>();
        return numbered_[static_cast<size_t>(number)].get();
    }

    // The object named by a number or a handle; nullptr when none lives there.
    T* Get(int64_t number) const {
        if (number >= 0 && number < Capacity()) return numbered_[static_cast<size_t>(number)].get();
        auto it = dynamic_.find(number);
        return it == dynamic_.end() ? nullptr : it->second.get();
    }

    bool Exists(int64_t number) const { return Get(number) != nullptr; }

    // Destroys one object, or every object for AnyNumber. An object is unlinked before its
    // destructor runs, so a destructor that looks objects up sees a consistent table.
    void Free(int64_t number) {
        if (number == AnyNumber) {
            auto dynamic = std::move(dynamic_);
            auto numbered = std::move(numbered_);
            numbered_.clear();
            dynamic_.clear();
            return;  // the old objects die here, numbered ones first
        }
        if (number >= 0 && number < Capacity()) {
            numbered_[static_cast<size_t>(number)].reset();
            return;
        }
        auto node = dynamic_.extract(number);
    }

    // Calls f(number, record) for every living object: numbered ones in order, then handles.
    template <typename F>
    void ForEach(F&& f) const {
        for (size_t i = 0; i < numbered_.size(); ++i)
            if (numbered_[i]) f(static_cast<int64_t>(i), *numbered_[i]);
        for (const auto& [handle, record] : dynamic_) f(handle, *record);
    }

    int64_t Capacity() const { return static_cast<int64_t>(numbered_.size()); }

private:
    int64_t growthStep_;
    std::vector<std::unique_ptr<T>> numbered_;
    std::unordered_map<int64_t, std::unique_ptr<T>> dynamic_;
};
