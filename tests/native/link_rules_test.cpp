#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "controls/LinkRules.h"

namespace {

struct Resolved {
    bool ok;
    std::string target;
    std::vector<std::string> reports;
};

Resolved Resolve(const std::string& text) {
    Resolved result{false, "previous", {}};
    result.ok =
        ResolveLinkTarget(text, result.target, [&](const std::string& report) { result.reports.push_back(report); });
    return result;
}

}  // namespace

TEST(LinkTarget, WebAddressesAreTheirOwnTarget) {
    const Resolved web = Resolve("http://www.example.com");
    EXPECT_TRUE(web.ok);
    EXPECT_EQ("http://www.example.com", web.target);
    EXPECT_TRUE(web.reports.empty());
    // "http" anywhere counts, and wins over "@".
    EXPECT_EQ("see https://user@example.com/", Resolve("see https://user@example.com/").target);
    EXPECT_EQ("www.example.com/http", Resolve("www.example.com/http").target);
}

TEST(LinkTarget, MailAddressesGetMailtoInFront) {
    const Resolved mail = Resolve("author@example.com");
    EXPECT_TRUE(mail.ok);
    EXPECT_EQ("mailto:author@example.com", mail.target);
    EXPECT_TRUE(mail.reports.empty());
    EXPECT_EQ("mailto:mailto:author@example.com", Resolve("mailto:author@example.com").target);
}

TEST(LinkTarget, OtherTextsAreReportedAndClearTheTarget) {
    for (const char* text : {"HTTP://WWW.EXAMPLE.COM", "ftp://ftp.example.com", "", "www.example.com"}) {
        const Resolved rejected = Resolve(text);
        EXPECT_FALSE(rejected.ok) << text;
        EXPECT_EQ("", rejected.target) << text;
        EXPECT_EQ((std::vector<std::string>{"Error: wrong superlink format"}), rejected.reports) << text;
    }
    // Without a report operation the rule still holds.
    std::string target = "previous";
    EXPECT_FALSE(ResolveLinkTarget("nothing", target, nullptr));
    EXPECT_EQ("", target);
}

TEST(LinkColours, BlueGreenWhileHoveredThenBlueOnceVisited) {
    LinkState link;
    EXPECT_EQ(kLinkBlue, link.textColour());
    EXPECT_FALSE(link.visited());

    // First move inside: green, capture released, default handling.
    LinkMoveOutcome entering = link.OnMouseMove(true);
    EXPECT_EQ(kLinkGreen, link.textColour());
    EXPECT_TRUE(entering.releaseCapture);
    EXPECT_TRUE(entering.repaint);
    EXPECT_TRUE(entering.passToDefault);

    // Further moves inside keep the capture and change nothing.
    LinkMoveOutcome staying = link.OnMouseMove(true);
    EXPECT_FALSE(staying.releaseCapture);
    EXPECT_FALSE(staying.repaint);
    EXPECT_FALSE(staying.passToDefault);
    EXPECT_EQ(kLinkGreen, link.textColour());

    // The move that leaves: blue, capture released, no default handling.
    LinkMoveOutcome leaving = link.OnMouseMove(false);
    EXPECT_EQ(kLinkBlue, link.textColour());
    EXPECT_TRUE(leaving.releaseCapture);
    EXPECT_FALSE(leaving.passToDefault);
    EXPECT_FALSE(link.hover());

    // After a click: blue in every state, for good.
    link.OnMouseMove(true);
    link.OnClick();
    EXPECT_TRUE(link.visited());
    EXPECT_EQ(kLinkBlue, link.textColour());
    link.OnMouseMove(false);
    EXPECT_EQ(kLinkBlue, link.textColour());
    link.OnMouseMove(true);
    EXPECT_EQ(kLinkBlue, link.textColour());
    EXPECT_TRUE(link.hover());
}

TEST(LinkColours, ASingleMoveInsideLeavesTheLinkGreenUntilTheNextVisit) {
    LinkState link;
    link.OnMouseMove(true);  // capture released on entry: the leaving move never arrives
    EXPECT_EQ(kLinkGreen, link.textColour());
    EXPECT_TRUE(link.hover());
    // Next visit: the second move inside holds the capture, so leaving arrives.
    link.OnMouseMove(true);
    link.OnMouseMove(false);
    EXPECT_EQ(kLinkBlue, link.textColour());
}
