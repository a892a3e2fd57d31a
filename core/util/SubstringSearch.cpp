#include "core/util/SubstringSearch.h"

#include <algorithm>

int32_t SubstringSearch::Child(int32_t node, uint8_t byte) const {
    auto it = edges.find(EdgeKey(node, byte));
    return it == edges.end() ? -1 : it->second;
}

size_t SubstringSearch::Add(std::string_view needle) {
    if (built || needle.empty()) return npos;
    int32_t node = 0;
    for (char ch : needle) {
        const uint8_t byte = static_cast<uint8_t>(ch);
        int32_t next = Child(node, byte);
        if (next < 0) {
            Node n;
            n.parent = node;
            n.byte = byte;
            n.depth = nodes[static_cast<size_t>(node)].depth + 1;
            next = static_cast<int32_t>(nodes.size());
            nodes.push_back(n);
            edges.emplace(EdgeKey(node, byte), next);
        }
        node = next;
    }
    Node& end = nodes[static_cast<size_t>(node)];
    if (end.needle < 0) {
        end.needle = static_cast<int32_t>(firstText.size());
        firstText.push_back(npos);
    }
    return static_cast<size_t>(end.needle);
}

void SubstringSearch::Build() {
    if (built) return;
    built = true;
    // Parents before children: the failure link of a node comes from its parent's.
    std::vector<int32_t> order(nodes.size() - 1);
    for (size_t i = 1; i < nodes.size(); ++i)
        order[i - 1] = static_cast<int32_t>(i);
    std::stable_sort(order.begin(), order.end(), [this](int32_t a, int32_t b) {
        return nodes[static_cast<size_t>(a)].depth < nodes[static_cast<size_t>(b)].depth;
    });
    for (int32_t v : order) {
        Node& n = nodes[static_cast<size_t>(v)];
        if (n.parent == 0) {
            n.fail = 0;
        } else {
            int32_t f = nodes[static_cast<size_t>(n.parent)].fail;
            int32_t next = Child(f, n.byte);
            while (next < 0 && f != 0) {
                f = nodes[static_cast<size_t>(f)].fail;
                next = Child(f, n.byte);
            }
            n.fail = next >= 0 ? next : 0;
        }
        n.output = n.needle >= 0 ? v : nodes[static_cast<size_t>(n.fail)].output;
    }
}

void SubstringSearch::Feed(std::string_view text) {
    if (!built) Build();
    const size_t textNumber = textsFed++;
    int32_t state = 0;
    for (char ch : text) {
        const uint8_t byte = static_cast<uint8_t>(ch);
        int32_t next = Child(state, byte);
        while (next < 0 && state != 0) {
            state = nodes[static_cast<size_t>(state)].fail;
            next = Child(state, byte);
        }
        state = next >= 0 ? next : 0;
        // Every needle ending here; a found node ends the walk, as everything below it
        // on the chain was found with it.
        for (int32_t o = nodes[static_cast<size_t>(state)].output; o >= 0;) {
            Node& n = nodes[static_cast<size_t>(o)];
            if (n.found) break;
            n.found = true;
            if (firstText[static_cast<size_t>(n.needle)] == npos)
                firstText[static_cast<size_t>(n.needle)] = textNumber;
            o = nodes[static_cast<size_t>(n.fail)].output;
        }
    }
}

size_t SubstringSearch::FirstText(size_t needle) const {
    return needle < firstText.size() ? firstText[needle] : npos;
}
