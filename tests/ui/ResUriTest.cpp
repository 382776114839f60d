#include "ui/ResUri.h"

#include <gtest/gtest.h>

TEST(ResUri, ReadsTheIdFromTheFragment) {
    const ResUri page = ParseResUri("res:/HTML/#106");
    EXPECT_EQ(page.kind, ResUri::Kind::Resource);
    EXPECT_EQ(page.resourcePath, "/res/HTML/106");
    EXPECT_EQ(page.contentType, "text/html");
    EXPECT_EQ(ParseResUri("res:/JS/#132").resourcePath, "/res/JS/132");
    EXPECT_EQ(ParseResUri("res:/JS/#131").resourcePath, "/res/JS/131");
    // The "JPG" pictures hold BMP bytes but are offered as pictures all the same.
    EXPECT_EQ(ParseResUri("res:/JPG/#141").contentType, "image/jpeg");
    EXPECT_EQ(ParseResUri("res:/PNG/#139").contentType, "image/png");
    EXPECT_EQ(ParseResUri("res:/CSS/#129").contentType, "text/css");
}

TEST(ResUri, RefusesWhatIsNotAResourceOfAKnownType) {
    for (const char* uri : {"res:/HTML/", "res:/HTML/#", "res:/HTML/#10a", "res:/EXE/#1",
                            "res:/../etc/#1", "res:/HTML/x/#106", "http://h/HTML/#106",
                            "res:/HTML/#106?x=1", "res:/html/#106", "not a uri"})
        EXPECT_EQ(ParseResUri(uri).kind, ResUri::Kind::Invalid) << uri;
}

TEST(ResUri, DecodesTheParameterName) {
    const ResUri param = ParseResUri("res:///bridge/GetAppParams?name=a%26b%3D%E7%89%88%20c");
    EXPECT_EQ(param.kind, ResUri::Kind::AppParam);
    EXPECT_EQ(param.paramName, "a&b=版 c");
    EXPECT_EQ(ParseResUri("res:///bridge/GetAppParams?name=").paramName, "");
    EXPECT_EQ(ParseResUri("res:///bridge/GetAppParams").kind, ResUri::Kind::AppParam);
    EXPECT_EQ(ParseResUri("res:///bridge/Other?name=x").kind, ResUri::Kind::Invalid);
}
