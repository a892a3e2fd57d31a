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
