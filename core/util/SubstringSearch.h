#pragma once
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <unordered_map>
#include <vector>

// Looks for many needles at once in a sequence of texts and tells, for each needle, the
// first text that contains it: one pass over every text, however many needles there are
// (a byte trie of the needles with failure links, walked along each text).
class SubstringSearch {
  public:
    static constexpr size_t npos = static_cast<size_t>(-1);

    // Adds a needle and returns its id; equal needles share one id. An empty needle is
    // refused (npos). Only before Build.
    size_t Add(std::string_view needle);
    // Links the trie; needles added afterwards are refused.
    void Build();
    // Searches the next text (texts are numbered from 0 in the order they are fed).
    void Feed(std::string_view text);
    // Number of the first text fed that contains the needle, or npos.
    size_t FirstText(size_t needle) const;

  private:
    struct Node {
        int32_t parent = 0;
        uint8_t byte = 0;
        int32_t depth = 0;
        int32_t fail = 0;    // longest proper suffix that is a trie node
        int32_t output = -1; // nearest node on the failure chain (itself first) that ends a needle
        int32_t needle = -1; // id of the needle ending here
        bool found = false;  // this needle and every needle on its output chain are found
    };
    int32_t Child(int32_t node, uint8_t byte) const;
    static uint64_t EdgeKey(int32_t node, uint8_t byte) {
        return (static_cast<uint64_t>(static_cast<uint32_t>(node)) << 8) | byte;
    }

    std::vector<Node> nodes{Node{}}; // node 0 is the root
    std::unordered_map<uint64_t, int32_t> edges;
    std::vector<size_t> firstText; // per needle id
    size_t textsFed = 0;
    bool built = false;
};
