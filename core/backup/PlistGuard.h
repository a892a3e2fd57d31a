#pragma once
#include <cstddef>

// libplist parses nested arrays and dictionaries recursively, without a depth limit:
// a crafted property list of a few hundred kilobytes of nesting overflows the stack.
// This checks, without recursion, that a property list (binary "bplist00" or XML)
// nests containers no deeper than `maxDepth` before it is handed to libplist.
// A binary list whose object table is malformed, or that refers back to itself,
// fails the check too.
constexpr int kPlistMaxDepth = 256;

bool plistNestingWithin(const char* data, size_t size, int maxDepth = kPlistMaxDepth);

// The same, and for a binary list also that no UTF-16 dictionary key holds U+0000:
// libplist asserts on such a key when a reader walks the dictionary's keys. For readers
// that list keys; a list that fails is damage.
bool plistSoundForReading(const char* data, size_t size, int maxDepth = kPlistMaxDepth);
