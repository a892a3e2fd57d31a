#pragma once
#include <cstddef>
#include <functional>
#include <tuple>

// Hash of a std::tuple of hashable values (numbers, bools, std::string_view), for the
// unordered sets that stand in for the parsers' duplicate walks.
struct TupleHash {
    template <class... Fields> size_t operator()(const std::tuple<Fields...>& key) const {
        size_t h = 0;
        std::apply([&h](const Fields&... field) { ((h = Mix(h, std::hash<Fields>()(field))), ...); }, key);
        return h;
    }

  private:
    static size_t Mix(size_t seed, size_t value) {
        return seed ^ (value + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2));
    }
};
