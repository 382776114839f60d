// The page as stored: well-formed XHTML carrying the elements the window drives, resource
// references that all resolve, and the web server's host filled in.

#include <glib.h>
#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <set>
#include <string>

#include "tests/res/BundleReader.h"

namespace {

const std::string kWebHost = DOWNLOADER_WEB_HOST;

struct Element {
    std::string name;
    std::map<std::string, std::string> attributes;
    std::string text;  // character data directly inside it
};

struct Markup {
    std::map<std::string, Element> byId;
    std::string rootName, rootNamespace;
    std::vector<Element*> open;
    std::vector<Element> anonymous;
    std::string inlineCode;  // handler and style attributes, which the page's policy refuses
};

void StartElement(GMarkupParseContext*, const gchar* name, const gchar** names,
                  const gchar** values, gpointer data, GError**) {
    auto* markup = static_cast<Markup*>(data);
    Element element{name, {}, {}};
    for (int i = 0; names[i] != nullptr; ++i) {
        element.attributes[names[i]] = values[i];
        if (g_str_has_prefix(names[i], "on") || g_str_equal(names[i], "style"))
            markup->inlineCode += std::string(name) + " " + names[i] + "; ";
    }
    if (markup->rootName.empty()) {
        markup->rootName = name;
        markup->rootNamespace = element.attributes["xmlns"];
    }
    const auto id = element.attributes.find("id");
    if (id != element.attributes.end()) {
        markup->open.push_back(&(markup->byId[id->second] = element));
    } else {
        markup->open.push_back(nullptr);
    }
}

void EndElement(GMarkupParseContext*, const gchar*, gpointer data, GError**) {
    static_cast<Markup*>(data)->open.pop_back();
}

void Text(GMarkupParseContext*, const gchar* text, gsize length, gpointer data, GError**) {
    auto* markup = static_cast<Markup*>(data);
    if (!markup->open.empty() && markup->open.back() != nullptr)
        markup->open.back()->text.append(text, length);
}

// Parses the page as XML; fails the test when it is not well formed.
Markup ParsePage() {
    const std::string page = BundleEntry("/res/HTML/106");
    Markup markup;
    GMarkupParser parser{StartElement, EndElement, Text, nullptr, nullptr};
    GMarkupParseContext* context = g_markup_parse_context_new(&parser, {}, &markup, nullptr);
    GError* error = nullptr;
    const bool parsed = g_markup_parse_context_parse(context, page.data(), page.size(), &error) &&
                        g_markup_parse_context_end_parse(context, &error);
    g_markup_parse_context_free(context);
    EXPECT_TRUE(parsed) << (error ? error->message : "");
    if (error) g_error_free(error);
    return markup;
}

}  // namespace

TEST(PageMarkup, IsWellFormedXhtmlWithTheElementsTheWindowDrives) {
    const Markup markup = ParsePage();
    EXPECT_EQ(markup.rootName, "html");
    EXPECT_EQ(markup.rootNamespace, "http://www.w3.org/1999/xhtml");
    for (const char* id : {"ad", "download_details", "version", "versiondetails", "download_fail",
                           "Progressbar", "aldownload", "filesize", "speed", "time", "retry"})
        EXPECT_EQ(markup.byId.count(id), 1u) << id;

    // The figures and the failure text start empty.
    for (const char* id : {"version", "download_fail", "aldownload", "filesize", "speed", "time"})
        EXPECT_EQ(markup.byId.at(id).text, "") << id;
    EXPECT_EQ(markup.byId.at("retry").text, "重试");
    // Handlers are bound and looks are set by the page's own script and style sheet.
    EXPECT_EQ(markup.inlineCode, "");
}

TEST(PageMarkup, LinksToTheWebServerHostItWasBuiltFor) {
    const Markup markup = ParsePage();
    const Element& details = markup.byId.at("versiondetails");
    EXPECT_EQ(details.attributes.at("href"), "http://" + kWebHost + "/dunasotool/index.php?act=pc");
    EXPECT_EQ(details.attributes.at("target"), "_blank");
    EXPECT_EQ(details.text, "(查看版本详情)");

    const std::string script = BundleEntry("/res/JS/131");
    // The advertisement is the program's to fetch: the page asks no other origin for script.
    EXPECT_EQ(script.find("getJSON"), std::string::npos);
    EXPECT_NE(script.find("function jsShowAd("), std::string::npos);
    for (const std::string& text : {BundleEntry("/res/HTML/106"), script})
        EXPECT_EQ(text.find('@'), std::string::npos) << "an unfilled placeholder is left";
}

// Every res: reference in the page and its style sheet names an entry of the bundle, and the
// page links the style sheet, then jQuery, then its own script, which needs jQuery.
TEST(PageMarkup, ReferencesResolveAndLoadInOrder) {
    const std::string page = BundleEntry("/res/HTML/106");
    const std::string css = BundleEntry("/res/CSS/129");
    const std::regex reference(R"(res:/([A-Z]+)/#(\d+))");
    std::set<std::string> found;
    for (const std::string* text : {&page, &css})
        for (std::sregex_iterator match(text->begin(), text->end(), reference), end; match != end;
             ++match) {
            found.insert(match->str());
            EXPECT_FALSE(BundleEntry("/res/" + (*match)[1].str() + "/" + (*match)[2].str()).empty())
                << match->str();
        }
    EXPECT_EQ(found, (std::set<std::string>{"res:/CSS/#129", "res:/JS/#132", "res:/JS/#131",
                                            "res:/JPG/#147", "res:/JPG/#141", "res:/PNG/#139",
                                            "res:/PNG/#142", "res:/PNG/#144", "res:/JPG/#146",
                                            "res:/PNG/#145"}));
    EXPECT_LT(page.find("res:/CSS/#129"), page.find("res:/JS/#132"));
    EXPECT_LT(page.find("res:/JS/#132"), page.find("res:/JS/#131"));
}

TEST(PageMarkup, CarriesJQuery151BuiltFromItsSources) {
    const std::string jquery = BundleEntry("/res/JS/132");
    EXPECT_NE(jquery.find("jQuery JavaScript Library v1.5.1"), std::string::npos);
    EXPECT_NE(jquery.find("jquery:\"1.5.1\""), std::string::npos);
    EXPECT_EQ(jquery.find("@VERSION"), std::string::npos);
    EXPECT_EQ(jquery.find("@DATE"), std::string::npos);
    // The Node wrapper's prebuilt file would leak these and report a pre-release.
    EXPECT_EQ(jquery.find("1.5.2pre"), std::string::npos);
}
