// The Torznab indexer-list scanner.
#include "parse_support.h"

namespace {

struct Scan : Parsed {
    explicit Scan(const char *xml) { rc = parse_torznab(&ctx, &rs, xml); }
    std::vector<std::pair<std::string, std::string>> entries() const {
        std::vector<std::pair<std::string, std::string>> v;
        for (int i = 0; i < rs.indexer_count; ++i) v.emplace_back(rs.indexers[i].id, rs.indexers[i].name);
        return v;
    }
};
using Entries = std::vector<std::pair<std::string, std::string>>;

TEST(TorznabParse, FailuresAndErrorElements) {
    struct { const char *xml; int32_t rc; const char *err; } cases[] = {
        {nullptr, ERR_JSON, "Jackett: empty indexer list"},
        {"", ERR_JSON, "Jackett: not a Torznab indexer list"},
        {"<caps></caps>", ERR_JSON, "Jackett: not a Torznab indexer list"},
        {R"(<error code="100" description="Invalid API Key" />)", ERR_AUTH,
         "Jackett: API key rejected (Torznab error 100)"},
        {R"(<?xml version="1.0"?><error code='201' description="x"/>)", ERR_HTTP, "Jackett: Torznab error 201"},
        {R"(<error code="123456789012"/>)", ERR_HTTP, "Jackett: Torznab error 12345678"},
        {R"(<error description="no code"/>)", ERR_HTTP, "Jackett: Torznab error ?"},
        {R"(<error code="1000"/>)", ERR_HTTP, "Jackett: Torznab error 1000"},
        {R"(<error code = "100"/>)", ERR_HTTP, "Jackett: Torznab error ?"},
        {R"(<error xcode="100"/>)", ERR_HTTP, "Jackett: Torznab error ?"},
        {R"(<error code="100)", ERR_JSON, "Jackett: not a Torznab indexer list"}, // no '>': ignored
        {R"(<indexers><indexer id="a"></indexer></indexers><error code="100">)", ERR_AUTH,
         "Jackett: API key rejected (Torznab error 100)"},
    };
    for (auto &c : cases) {
        Scan s(c.xml);
        EXPECT_EQ(s.rc, c.rc) << (c.xml ? c.xml : "<null>");
        EXPECT_EQ(s.err(), c.err) << (c.xml ? c.xml : "<null>");
        EXPECT_EQ(s.rs.indexer_count, 0);
    }
}

TEST(TorznabParse, ReadsConfiguredIndexers) {
    Scan s(R"(<?xml version="1.0" encoding="UTF-8"?>
<indexers>
  <indexer id="1337x" configured="true">
    <title>1337x</title>
    <description>1337X is a Public torrent site</description>
    <caps><searching><search available="yes"/></searching></caps>
  </indexer>
  <indexer id="off" configured="false"><title>Off</title></indexer>
  <indexer id="cap" configured="False"><title>Capital False</title></indexer>
  <indexer id='single' tvid="x"><title>Single &amp; quoted</title></indexer>
  <indexer configured="true"><title>No id</title></indexer>
  <indexer tvid="zzz" id="real"><title>A
 B</title></indexer>
</indexers>)");
    ASSERT_EQ(s.rc, OK);
    EXPECT_EQ(s.entries(), (Entries{{"1337x", "1337x"}, {"cap", "Capital False"}, {"single", "Single & quoted"},
                                    {"real", "A\n B"}}));
    for (int i = 0; i < s.rs.indexer_count; ++i) {
        EXPECT_EQ(s.rs.indexers[i].status, KOVA_INDEXER_TORZNAB);
        EXPECT_EQ(s.rs.indexers[i].results, 0);
        EXPECT_STREQ(s.rs.indexers[i].error, "");
    }
    EXPECT_EQ(s.rs.doc, nullptr);
    EXPECT_EQ(s.rs.row_count, 0);
    EXPECT_EQ(s.rs.indexers_errored, 0);
}

TEST(TorznabParse, TagAndAttributeEdges) {
    struct { const char *xml; Entries want; } cases[] = {
        {"<indexers></indexers>", {}},
        {"<indexers/>", {}},
        // Title-less indexer stays "" although a later one has a title.
        {R"(<indexers><indexer id="a"></indexer><indexer id="b"><title>B</title></indexer></indexers>)",
         {{"a", ""}, {"b", "B"}}},
        // A title after the indexer's end does not count.
        {R"(<indexers><indexer id="a"><title>A</indexer></title></indexers>)", {{"a", ""}}},
        // Entities are replaced once, left to right; numeric references stay.
        {R"(<indexers><indexer id="x&amp;y"><title>&amp;amp;lt; &#39; &bogus; &lt;&gt;&quot;&apos; &</title></indexer></indexers>)",
         {{"x&y", "&amp;lt; &#39; &bogus; <>\"' &"}}},
        // White space around '=' hides an attribute; CDATA is copied as is.
        {R"(<indexers><indexer id = "a"><title>A</title></indexer><indexer id="b"><title><![CDATA[B]]></title></indexer></indexers>)",
         {{"b", "<![CDATA[B]]>"}}},
        // An unterminated start tag ends the scan with what was found.
        {R"(<indexers><indexer id="a"></indexer><indexer id="b")", {{"a", ""}}},
        // No closing tag: the indexer runs to the end of the text.
        {R"(<indexers><indexer id="a"><title>A</title>)", {{"a", "A"}}},
        // Unterminated quote: no id.
        {R"(<indexers><indexer id="a></indexer></indexers>)", {}},
        // Tab, line feed and carriage return after the tag name.
        {"<indexers><indexer\tid=\"t\"></indexer><indexer\nid=\"n\"></indexer><indexer\r\nid=\"r\"></indexer></indexers>",
         {{"t", ""}, {"n", ""}, {"r", ""}}},
        // Empty id and empty title are accepted as "".
        {R"(<indexers><indexer id=""><title></title></indexer></indexers>)", {{"", ""}}},
        // Duplicates are not merged.
        {R"(<indexers><indexer id="a"/></indexer><indexer id="a"></indexer></indexers>)", {{"a", ""}, {"a", ""}}},
    };
    for (auto &c : cases) {
        Scan s(c.xml);
        EXPECT_EQ(s.rc, OK) << c.xml;
        EXPECT_EQ(s.entries(), c.want) << c.xml;
    }
}

TEST(TorznabParse, ManyIndexersWithoutTitles) {
    std::string xml = "<indexers>";
    for (int i = 0; i < 3000; ++i) xml += "<indexer id=\"" + std::to_string(i) + "\"></indexer>";
    xml += "</indexers>";
    Scan s(xml.c_str());
    ASSERT_EQ(s.rc, OK);
    EXPECT_EQ(s.rs.indexer_count, 3000);
    EXPECT_GE(s.rs.indexer_cap, 3000);
    EXPECT_STREQ(s.rs.indexers[2999].id, "2999");
}

TEST(TorznabParse, AllocationFailureSweep) {
    std::string xml = "<indexers>";
    for (int i = 0; i < 20; ++i)
        xml += "<indexer id=\"i" + std::to_string(i) + "\" configured=\"true\"><title>T &amp; " + std::to_string(i) +
               "</title></indexer>";
    xml += "<indexer id=\"\"></indexer></indexers>";
    std::unique_ptr<Parsed> p;
    int runs = oom_sweep([&] { p = std::make_unique<Parsed>(); },
                         [&] { return p->rc = parse_torznab(&p->ctx, &p->rs, xml.c_str()); },
                         [&](int32_t rc, bool injected) {
                             if (!injected) {
                                 EXPECT_EQ(rc, OK);
                                 EXPECT_EQ(p->rs.indexer_count, 21);
                                 return;
                             }
                             EXPECT_EQ(rc, ERR_OOM);
                             EXPECT_EQ(p->err(), "out of memory");
                             // Every counted entry is complete.
                             for (int i = 0; i < p->rs.indexer_count; ++i) {
                                 EXPECT_NE(p->rs.indexers[i].id, nullptr);
                                 EXPECT_NE(p->rs.indexers[i].name, nullptr);
                                 EXPECT_NE(p->rs.indexers[i].error, nullptr);
                             }
                         });
    EXPECT_GT(runs, 20);
    p.reset();
}

} // namespace
