#include "chat/WxMessageOps.h"
#include "chat/WxMessageXml.h"
#include "chat/WxSummaryList.h"
#include "core/records/WxMessageRecord.h"
#include "core/records/WxSessionRecord.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const char kRedPacketTitle[] = "\xe5\xbe\xae\xe4\xbf\xa1\xe7\xba\xa2\xe5\x8c\x85";

// Sample contents of every kind the helpers read.
const std::vector<std::string> kSamples = {
    "<msg><appmsg><title><![CDATA[Quarterly report.final.pdf]]></title><type>6</type></appmsg></msg>",
    "<msg><appmsg><title>News of the day</title><url><![CDATA[http://a.test/x]]></url>"
    "<thumburl>http://a.test/t.jpg</thumburl><des><![CDATA[Short text]]></des></appmsg></msg>",
    "<msg><emoji fromusername=\"wxid_a\" md5=\"0123abcd\" len=\"1\"></emoji></msg>",
    "<msg><img aeskey=\"k1\" length=\"3\"/></msg>",
    "<msg><videomsg aeskey=\"v1\" length=\"3\"/></msg>",
    "<msg><voicemsg bufid=\"b77\" length=\"3\"/></msg>",
    "<voipinvitemsg><recvtime>1600000001</recvtime></voipinvitemsg><voiplocalinfo>x</voiplocalinfo>",
    "<msg><location x=\"39.9\" y=\"116.3\" label=\"Main Street 1\" poiname=\"p\" /></msg>",
    "<msg username=\"wxid_card\" alias=\"cardalias\" nickname=\"Card Name\" "
    "smallheadimgurl=\"http://h.test/s\" /></msg>",
    "<msg><voipmsg><duration>125</duration><invitetype>1</invitetype></voipmsg></msg>",
};

TEST(WxMessageXml, GettersReadBetweenMarkers) {
    struct Case {
        std::string (*getter)(std::string_view);
        std::string text;
        std::string expected;
    } cases[] = {
        {wxGetXmlTitle, "<title><![CDATA[Hello]]></title>", "Hello"},
        {wxGetXmlTitle, "<title><![CDATA[]]></title>", ""}, // empty CDATA: absent
        {wxGetXmlTitle, "<title>A</title>", "A"},
        {wxGetXmlTitle, "<title><![CDATA[no closer</title>", ""}, // missing closer: absent
        {wxGetXmlTitle, "<title>open only", ""},
        {wxGetEmojiMd5, "md5=\"first\" <emoji md5=\"second\">", "first"},
        {wxGetEmojiMd5, "<emoji md5=\"unterminated", ""},
        {wxGetImageAesKey, kSamples[3], "k1"},
        {wxGetVideoAesKey, kSamples[4], "v1"},
        {wxGetVoiceBufId, kSamples[5], "b77"},
        {wxGetVoipRecvTime, kSamples[6], "1600000001"},
        {wxGetVoipRecvTime, "<voiplocalinfo></voiplocalinfo><voipinvitemsg><recvtime>1</recvtime>", ""},
        {wxGetLocationX, kSamples[7], "39.9"},
        {wxGetCardUserName, kSamples[8], "wxid_card"},
        // "username" inside "fromusername" is no attribute of its own.
        {wxGetCardUserName, "<msg fromusername=\"wxid_from\" alias=\"a\" />", ""},
        {wxGetCardUserName, "<msg fromusername=\"wxid_from\" username=\"wxid_to\" alias=\"a\" />", "wxid_to"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.expected, c.getter(c.text)) << c.text;
}

TEST(WxMessageXml, GuessType) {
    struct Case {
        std::string text;
        int32_t type;
    } cases[] = {
        {"<msg><title>t</title><img src=\"x\"/></msg>", 49},
        {"<msg><img src=\"x\"/></msg>", 3},
        {"plain text", 1},
        {kSamples[9], 50},
        {kSamples[7], 48},
        {kSamples[8], 42},
        {kSamples[5], 34},
        {kSamples[4], 43},
        {kSamples[2], 47},
        {"<title>only opener", 1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.type, wxGuessMessageType(c.text)) << c.text;
}

TEST(WxMessageXml, ParsersFillTheirFields) {
    WxMessageRecord app;
    app.type = 49;
    wxParseAppMessage(kSamples[1], app);
    EXPECT_EQ(49, app.type);
    EXPECT_EQ("News of the day", app.title);
    EXPECT_EQ("http://a.test/x", app.url);
    EXPECT_EQ("http://a.test/t.jpg", app.thumbUrl);
    EXPECT_EQ("Short text", app.description);

    WxMessageRecord file;
    file.type = 49;
    wxParseAppMessage(kSamples[0], file);
    EXPECT_EQ(100002, file.type);
    EXPECT_EQ("Quarterly report.final.pdf", file.title);

    WxMessageRecord red;
    red.type = 49;
    wxParseAppMessage(std::string("<title>") + kRedPacketTitle + "</title><url>u</url>", red);
    EXPECT_EQ(100001, red.type);
    EXPECT_TRUE(red.url.empty());

    WxMessageRecord call;
    wxParseCall(kSamples[9], call);
    EXPECT_EQ(125, call.callDuration);
    EXPECT_TRUE(call.isVoiceCall);
    struct {
        std::string text;
        int32_t duration;
    } durations[] = {{"<duration>" + std::string(260, '1') + "</duration>", 0},
                     {"<duration>99999999999</duration>", 0},
                     {"<duration>-5</duration>", 0},
                     {"<duration>12x</duration>", 0},
                     {"<duration>7</duration>", 7},
                     {"<duration>7", 0}};
    for (const auto& d : durations) {
        WxMessageRecord m;
        wxParseCall(d.text, m);
        EXPECT_EQ(d.duration, m.callDuration) << d.text;
    }

    WxMessageRecord card;
    ASSERT_TRUE(wxParseCard(kSamples[8], card));
    EXPECT_EQ("cardalias", card.cardUserName);
    EXPECT_EQ("Card Name", card.cardNickName);
    EXPECT_EQ("http://h.test/s", card.cardHeadUrl);
    WxMessageRecord noAlias;
    ASSERT_TRUE(wxParseCard("<msg username=\"wxid_x\" alias=\"\" nickname=\"n\" />", noAlias));
    EXPECT_EQ("wxid_x", noAlias.cardUserName);
    WxMessageRecord fromOnly;
    EXPECT_FALSE(wxParseCard("<msg fromusername=\"wxid_x\" nickname=\"n\" />", fromOnly));

    WxMessageRecord loc;
    wxParseLocation(kSamples[7], loc);
    EXPECT_EQ("Main Street 1", loc.locationLabel);
}

// Values outside CDATA are XML text: their entities and character references are
// decoded; CDATA is taken as it stands; a malformed or unknown reference stays.
TEST(WxMessageXml, EntitiesOfPlainValuesAreDecoded) {
    struct Case {
        std::string value;
        std::string text;
    } cases[] = {
        {"https://a.test/p?x=1&amp;y=2&amp;z=3", "https://a.test/p?x=1&y=2&z=3"},
        {"&lt;b&gt; &quot;q&quot; &apos;a&apos;", "<b> \"q\" 'a'"},
        {"&#65;&#x42;&#X43; &#20013;&#x1F600;", "ABC \xE4\xB8\xAD\xF0\x9F\x98\x80"},
        {"&amp;amp;", "&amp;"},
        {"AT&T &unknown; &#; &#x; &#0; &#xD800; &#1114112; &#12a; & ;",
         "AT&T &unknown; &#; &#x; &#0; &#xD800; &#1114112; &#12a; & ;"},
        {"&amp", "&amp"},
        {"&" + std::string(40, 'a') + ";", "&" + std::string(40, 'a') + ";"},
    };
    for (const Case& c : cases) {
        WxMessageRecord m;
        wxParseAppMessage("<msg><title>" + c.value + "</title><des>" + c.value + "</des><url>" + c.value +
                              "</url><thumburl>" + c.value + "</thumburl></msg>",
                          m);
        EXPECT_EQ(c.text, m.title) << c.value;
        EXPECT_EQ(c.text, m.description) << c.value;
        EXPECT_EQ(c.text, m.url) << c.value;
        EXPECT_EQ(c.text, m.thumbUrl) << c.value;
        WxMessageRecord loc;
        wxParseLocation("<location x=\"1\" label=\"" + c.value + "\" />", loc);
        EXPECT_EQ(c.text, loc.locationLabel) << c.value;
        WxMessageRecord card;
        ASSERT_TRUE(wxParseCard("<msg username=\"u\" alias=\"a\" nickname=\"" + c.value + "\" />", card));
        EXPECT_EQ(c.text, card.cardNickName) << c.value;
    }
    WxMessageRecord cdata;
    wxParseAppMessage("<msg><url><![CDATA[https://a.test/?x=1&amp;y]]></url></msg>", cdata);
    EXPECT_EQ("https://a.test/?x=1&amp;y", cdata.url);
}

// Every prefix of every sample: no crash, and nothing is read from a cut marker.
TEST(WxMessageXml, EveryPrefixOfTheSamples) {
    for (const std::string& sample : kSamples) {
        for (size_t n = 0; n <= sample.size(); ++n) {
            const std::string_view text(sample.data(), n);
            WxMessageRecord m;
            wxParseAppMessage(text, m);
            wxParseCall(text, m);
            wxParseCard(text, m);
            wxParseLocation(text, m);
            (void)wxGuessMessageType(text);
            const std::string key = wxMessageKeyValue(text);
            if (!key.empty()) EXPECT_NE(std::string::npos, text.find(key));
            if (n < sample.size() / 2)
                EXPECT_TRUE(m.locationLabel.empty() || text.find("\" ") != std::string::npos);
        }
    }
}

TEST(WxMessageOps, InsertRefusesBadPositions) {
    RecordList<WxMessageRecord> list;
    for (int32_t pos : {0, 1, 1}) {
        auto m = std::make_unique<WxMessageRecord>();
        m->time = pos;
        EXPECT_TRUE(wxMessageListInsert(list, m, pos));
        EXPECT_EQ(nullptr, m);
    }
    for (int32_t pos : {-1, 4, 100}) {
        auto m = std::make_unique<WxMessageRecord>();
        EXPECT_FALSE(wxMessageListInsert(list, m, pos));
        EXPECT_NE(nullptr, m); // still the caller's
        EXPECT_EQ(3, list.count);
    }
}

// The times of a list, head to tail.
std::vector<int64_t> timesOf(const RecordList<WxMessageRecord>& list) {
    std::vector<int64_t> out;
    for (const WxMessageRecord* m = list.first; m; m = m->next)
        out.push_back(m->time);
    return out;
}

TEST(WxMessageOps, InsertAtReachesEveryPositionFromEitherEnd) {
    for (int32_t pos = 0; pos <= 6; ++pos) {
        RecordList<WxMessageRecord> list;
        for (int64_t t : {10, 20, 30, 40, 50, 60}) {
            auto m = std::make_unique<WxMessageRecord>();
            m->time = t;
            list.append(std::move(m));
        }
        auto m = std::make_unique<WxMessageRecord>();
        m->time = 99;
        list.insertAt(pos, std::move(m));
        std::vector<int64_t> expected = {10, 20, 30, 40, 50, 60};
        expected.insert(expected.begin() + pos, 99);
        EXPECT_EQ(expected, timesOf(list)) << "position " << pos;
        // The back links agree with the forward ones.
        std::vector<int64_t> back;
        for (const WxMessageRecord* r = list.last; r; r = r->prev)
            back.insert(back.begin(), r->time);
        EXPECT_EQ(expected, back) << "position " << pos;
    }
}

// An indexed insert lands where a walk from the head to the first message of the same
// second or later puts it, also in lists out of time order and after the list was
// changed behind the index's back.
TEST(WxMessageOps, TimeIndexInsertsWhereTheWalkFromTheHeadDoes) {
    struct Case {
        const char* name;
        std::vector<int64_t> start;
        std::vector<int64_t> inserts;
    };
    const std::vector<Case> cases = {
        {"empty", {}, {5, 3, 5, 9, 1}},
        {"in order", {10, 20, 20, 30}, {20, 5, 35, 25, 10, 30, 20}},
        {"out of order", {50, 10, 70, 30, 30, 90, 20}, {15, 30, 60, 95, 5, 70, 40, 20}},
        {"falling", {9, 7, 5, 3, 1}, {8, 6, 4, 2, 0, 10}},
    };
    for (const Case& c : cases) {
        WxSessionRecord session;
        std::vector<int64_t> expected = c.start;
        for (int64_t t : c.start) {
            auto m = std::make_unique<WxMessageRecord>();
            m->time = t;
            session.messages.append(std::move(m));
        }
        WxSessionTimeIndex index(session);
        int n = 0;
        for (int64_t t : c.inserts) {
            if (++n == 3) {
                // Someone else appends: the index notices the count and builds again.
                auto other = std::make_unique<WxMessageRecord>();
                other->time = 42;
                session.messages.append(std::move(other));
                expected.push_back(42);
            }
            auto m = std::make_unique<WxMessageRecord>();
            m->time = t;
            WxMessageRecord* linked = index.InsertBeforeSameOrLater(std::move(m));
            ASSERT_NE(nullptr, linked);
            size_t at = 0;
            while (at < expected.size() && expected[at] < t)
                ++at;
            expected.insert(expected.begin() + long(at), t);
            EXPECT_EQ(expected, timesOf(session.messages)) << c.name << " after inserting " << t;
            EXPECT_TRUE(index.HasTime(t));
            // The messages of the second in list order: the new one first.
            std::vector<const WxMessageRecord*> atT;
            index.ForEachAt(t, [&](const WxMessageRecord& m2) {
                atT.push_back(&m2);
                return false;
            });
            std::vector<const WxMessageRecord*> walked;
            for (const WxMessageRecord* m2 = session.messages.first; m2; m2 = m2->next)
                if (m2->time == t) walked.push_back(m2);
            EXPECT_EQ(walked, atT) << c.name;
            ASSERT_FALSE(atT.empty());
            EXPECT_EQ(linked, atT.front()) << c.name;
        }
        EXPECT_EQ(int32_t(expected.size()), session.messages.count);
        EXPECT_FALSE(index.HasTime(-1));
        EXPECT_EQ(nullptr, index.InsertBeforeSameOrLater(nullptr));
    }
}

TEST(WxMessageOps, DuplicateTest) {
    auto make = [](int32_t type, int64_t time, bool deleted, std::string text, std::string title = {}) {
        auto m = std::make_unique<WxMessageRecord>();
        m->type = type;
        m->time = time;
        m->deleted = deleted;
        m->text = std::move(text);
        m->title = std::move(title);
        return m;
    };
    WxSessionRecord s;
    WxMessageRecord* redText = s.messages.append(make(1, 10, true, std::string(kRedPacketTitle) + " text"));
    WxMessageRecord* appText = s.messages.append(make(1, 20, true, "Great article on things"));
    s.messages.append(make(1, 30, false, "hello there friend"));
    s.messages.append(make(3, 40, false, ""));

    // A red packet of the same second upgrades the recovered text.
    EXPECT_TRUE(wxSessionHasSameMessage(s, *make(100001, 10, true, "")));
    EXPECT_EQ(100001, redText->type);
    EXPECT_FALSE(wxSessionHasSameMessage(s, *make(100001, 11, true, "")));
    // An app message whose title begins the text upgrades it and lends its fields.
    auto app = make(49, 20, true, "", "Great article");
    app->url = "http://u.test";
    EXPECT_TRUE(wxSessionHasSameMessage(s, *app));
    EXPECT_EQ(49, appText->type);
    EXPECT_EQ("http://u.test", appText->url);
    // An empty title neither matches nor upgrades.
    EXPECT_FALSE(wxSessionHasSameMessage(s, *make(49, 30, true, "", "")));
    EXPECT_TRUE(wxSessionHasSameMessage(s, *make(1, 30, true, "hello there friend")));
    EXPECT_TRUE(wxSessionHasSameMessage(s, *make(1, 30, true, "hello ther")));
    EXPECT_FALSE(wxSessionHasSameMessage(s, *make(1, 30, true, "bye")));
    EXPECT_TRUE(wxSessionHasSameMessage(s, *make(3, 40, true, "")));
    EXPECT_FALSE(wxSessionHasSameMessage(s, *make(34, 40, true, "")));
}

TEST(WxSummaryList, FindsByTimeAndContent) {
    WxSummaryList list;
    auto add = [&](uint64_t time, std::string content) {
        auto s = std::make_unique<WxSessionSummary>();
        s->time = time;
        s->content = std::move(content);
        return list.Append(std::move(s));
    };
    WxSessionSummary* a = add(100, "good morning everyone");
    WxSessionSummary* b = add(100, "<msg><appmsg><title>Shared link</title></appmsg></msg>");
    add(200, "other");
    EXPECT_EQ(a, list.FindSameMessage(100, "good morning everyone"));
    EXPECT_EQ(b, list.FindSameMessage(100, "<title>Shared link</title> carved copy"));
    EXPECT_EQ(nullptr, list.FindSameMessage(101, "good morning everyone"));
    EXPECT_EQ(a, list.FindSameTextMessage(100, "good morning, all"));
    EXPECT_EQ(b, list.FindSameTextMessage(100, "text holding Shared link"));
    EXPECT_EQ(nullptr, list.FindSameTextMessage(200, "nothing alike"));
    list.Remove(a);
    EXPECT_EQ(b, list.FindSameTextMessage(100, "text holding Shared link"));
    EXPECT_EQ(nullptr, list.FindSameMessage(100, "good morning everyone"));
    EXPECT_EQ(2, list.count());
}

} // namespace
