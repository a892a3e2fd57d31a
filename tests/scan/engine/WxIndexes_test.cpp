// The scan manager's WeChat look-ups (contacts by user name, sessions by peer) against
// plain walks of the lists, over random sequences of additions and moves.
#include "core/records/WxContactRecord.h"
#include "core/records/WxSessionRecord.h"
#include "scan/engine/CScanManager.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

WxContactRecord* walkContact(CScanManager& m, const std::string& name, int account) {
    for (WxContactRecord* c = m.wxContactLists[size_t(account)].first; c; c = c->next)
        if (c->accountIndex == account && c->userName == name) return c;
    return nullptr;
}

std::vector<WxSessionRecord*> walkSessions(CScanManager& m, const WxContactRecord* peer, int account) {
    std::vector<WxSessionRecord*> out;
    for (WxSessionRecord* s = m.wxSessionLists[size_t(account)].first; s; s = s->next)
        if (s->peer == peer) out.push_back(s);
    return out;
}

TEST(WxIndexes, AgreeWithTheWalks) {
    for (uint32_t seed = 1; seed <= 20; ++seed) {
        std::mt19937 rng(seed);
        CScanManager m(0x3000, "/out", "/backup", 14, nullptr, nullptr);
        m.wxContactLists.resize(2);
        m.wxSessionLists.resize(2);
        std::vector<WxContactRecord*> made;
        for (int step = 0; step < 400; ++step) {
            const int account = int(rng() % 2);
            const std::string name = "wxid_" + std::to_string(rng() % 40);
            switch (rng() % 6) {
            case 0:
                if (WxContactRecord* c = m.AddChatContact(int(rng() % 3), name.c_str(), account))
                    made.push_back(c);
                break;
            case 1: {
                auto c = std::make_unique<WxContactRecord>();
                c->userName = name;
                c->accountIndex = account;
                made.push_back(m.AddWxContact(account, std::move(c), rng() % 2 == 0));
                break;
            }
            case 2:
                if (!made.empty()) m.MoveChatContactToHead(made[rng() % made.size()]);
                break;
            case 3:
                // A list changed without the manager: the look-ups still agree.
                if (rng() % 4 == 0) {
                    auto c = std::make_unique<WxContactRecord>();
                    c->userName = name;
                    c->accountIndex = account;
                    m.wxContactLists[size_t(account)].prepend(std::move(c));
                }
                break;
            default: {
                WxContactRecord* peer = made.empty() ? nullptr : made[rng() % made.size()];
                m.AddWxSession(peer ? peer->accountIndex : account, peer, false, rng() % 2 == 0);
                break;
            }
            }
            const std::string probe = "wxid_" + std::to_string(rng() % 40);
            for (int a = 0; a < 2; ++a)
                ASSERT_EQ(walkContact(m, probe, a), m.FindChatContact(probe.c_str(), a));
            if (!made.empty()) {
                WxContactRecord* peer = made[rng() % made.size()];
                const int a = peer->accountIndex;
                ASSERT_EQ(walkSessions(m, peer, a), m.WxSessionsOfPeer(a, peer));
            }
        }
    }
}

} // namespace
