// The IPv6 literal check against the system's inet_pton, which it replaces so
// that every platform accepts the same hosts. POSIX builds only.
#include <arpa/inet.h>

#include <random>
#include <string>

#include "support/kova_test.h"

namespace {
bool system_says(const std::string &s) {
    unsigned char addr[16];
    return inet_pton(AF_INET6, s.c_str(), addr) == 1;
}
}  // namespace

TEST(Ipv6Literal, AgreesWithInetPtonOnTheTrickyShapes) {
    const char *cases[] = {
        "::", "::1", "1::", "1::2", "fe80::1", "2001:db8::10", "1:2:3:4:5:6:7:8", "1:2:3:4:5:6:7::",
        "::2:3:4:5:6:7:8", "1:2:3:4:5:6:7:8:9", "1:2:3:4:5:6:7", ":1::", "1:::2", "1::2::3", ":::",
        "1:2:3:4:5:6:7:8:", ":1:2:3:4:5:6:7:8", "12345::", "00000::1", "0000::1", "FFFF::ffff",
        "::ffff:1.2.3.4", "::1.2.3.4", "1:2:3:4:5:6:1.2.3.4", "1:2:3:4:5:6:7:1.2.3.4",
        "1:2:3:4:5::1.2.3.4", "1::2:3:4:5:6:1.2.3.4", "::01.2.3.4", "::1.2.3.256", "::1.2.3",
        "::1.2.3.4.5", "::1.2.3.4:1", "::0.0.0.0", "::a.b.c.d", "1.2.3.4", "fe80::1%eth0", "[::1]",
        "::1 ", " ::1", "g::1", "", ":", "1:", "1::2:", "::255.255.255.255", "::1.2..3",
    };
    for (const char *c : cases) EXPECT_EQ(is_ipv6_literal(c), system_says(c)) << "'" << c << "'";
}

TEST(Ipv6Literal, AgreesWithInetPtonOnRandomTexts) {
    // Short texts over the alphabet that matters, so that most of them come
    // close to a valid address; fixed seed, so a failure repeats.
    const char alphabet[] = "0123456789abcdefABCDEFg::::....%";
    std::mt19937 rng(20261210);
    for (int i = 0; i < 300000; ++i) {
        std::string s(rng() % 24, ' ');
        for (char &c : s) c = alphabet[rng() % (sizeof alphabet - 1)];
        ASSERT_EQ(is_ipv6_literal(s.c_str()), system_says(s)) << "'" << s << "'";
    }
}
