#include "net/XMLNode.h"
#include "net/XMLParser.h"
#include "net/XMLWriter.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace MiniXML;

namespace {

std::string written(const XMLDocument& document, int depth) {
    std::ostringstream out;
    write(document, out, depth);
    return out.str();
}

std::unique_ptr<XMLParser> parsed(const std::string& text) {
    auto parser = std::make_unique<XMLParser>();
    std::istringstream in(text);
    EXPECT_TRUE(parser->parse(in)) << parser->errorMessage;
    return parser;
}

} // namespace

TEST(XMLWriterTest, CompactAndIndentedLayouts) {
    XMLDocument login("ZEPCMD");
    login.root->setAttribute("UserName", "600123456");
    login.root->setAttribute("Password", "pw");
    EXPECT_EQ(written(login, 0), "<ZEPCMD Password=\"pw\" UserName=\"600123456\" />");
    login.encoding = "UTF-8";
    EXPECT_EQ(written(login, 0), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                 "<ZEPCMD Password=\"pw\" UserName=\"600123456\" />");

    XMLDocument tree("root");
    tree.root->addElement("a")->setAttribute("x", "1");
    tree.root->addElement("b");
    EXPECT_EQ(written(tree, 1), "<root>\n <a x=\"1\" />\n <b />\n</root>\n");
    EXPECT_EQ(written(tree, 0), "<root><a x=\"1\" /><b /></root>");

    XMLDocument nested("r");
    XMLElementNode* level1 = nested.root->addElement("l1");
    level1->addElement("l2")->addText("t");
    level1->addElement("l2");
    EXPECT_EQ(written(nested, 1), "<r>\n <l1>\n  <l2>t</l2>\n  <l2 />\n </l1>\n</r>\n");

    XMLDocument mixed("m");
    mixed.root->addText("a&b<c>\"q\"");
    mixed.root->addCData("raw <&> ]]> end");
    EXPECT_EQ(written(mixed, 0), "<m>a&amp;b&lt;c&gt;\"q\"<![CDATA[raw <&> ]]]]><![CDATA[> end]]></m>");
    auto back = parsed(written(mixed, 0));
    XMLElementNode* root = back->document()->root.get();
    ASSERT_EQ(root->children.size(), 3u);
    EXPECT_EQ(root->children[0]->text(), "a&b<c>\"q\"");
    EXPECT_EQ(root->children[1]->text() + root->children[2]->text(), "raw <&> ]]> end");
}

TEST(XMLWriterTest, QuotesInAttributeValuesSurviveTheRoundTrip) {
    XMLDocument login("ZEPCMD");
    login.root->setAttribute("Password", "a\"b\" Admin=\"1");
    login.root->setAttribute("UserName", "<&>");
    const std::string text = written(login, 0);
    EXPECT_EQ(text, "<ZEPCMD Password=\"a&quot;b&quot; Admin=&quot;1\" UserName=\"&lt;&amp;&gt;\" />");
    auto back = parsed(text);
    XMLElementNode* root = back->document()->root.get();
    EXPECT_EQ(root->attributes.size(), 2u);
    EXPECT_STREQ(root->attribute("Password"), "a\"b\" Admin=\"1");
    EXPECT_STREQ(root->attribute("UserName"), "<&>");
    EXPECT_EQ(root->attribute("Admin"), nullptr);
}

TEST(XMLParserTest, BuildsTheTree) {
    auto parser = parsed("<r a=\"1\" b='2'>one&amp;two<![CDATA[ <keep> &amp; ]]>\n  <c>x</c><d/><c/></r>");
    EXPECT_EQ(parser->encoding, "UTF-8");
    XMLDocument* document = parser->document();
    ASSERT_NE(document, nullptr);
    EXPECT_EQ(document->encoding, "");
    XMLElementNode* root = document->root.get();
    EXPECT_EQ(root->name, "r");
    EXPECT_EQ(root->parent, nullptr);
    EXPECT_STREQ(root->attribute("b"), "2");
    EXPECT_EQ(root->attribute("B"), nullptr);
    ASSERT_EQ(root->children.size(), 6u);
    EXPECT_EQ(root->children[0]->nodeType(), 0);
    EXPECT_EQ(root->children[0]->text(), "one&two"); // adjacent runs merged
    EXPECT_EQ(root->text(), "one&two");
    EXPECT_EQ(root->children[1]->nodeType(), 2);
    EXPECT_EQ(root->children[1]->text(), " <keep> &amp; ");
    EXPECT_EQ(root->children[2]->text(), "\n  ");
    EXPECT_EQ(root->children[3]->line, 2);

    XMLElementNode::Iterator all(*root);
    EXPECT_EQ(all.next()->name, "c");
    EXPECT_EQ(all.next()->name, "d");
    EXPECT_EQ(all.next()->name, "c");
    EXPECT_EQ(all.next(), nullptr);
    XMLElementNode::Iterator onlyC(*root, "c");
    XMLElementNode* first = onlyC.next();
    EXPECT_EQ(first->text(), "x");
    EXPECT_EQ(first->parent, root);
    EXPECT_EQ(onlyC.next()->text(), ""); // no children: empty, never null
    EXPECT_EQ(onlyC.next(), nullptr);

    auto copy = root->cloneElement();
    std::ostringstream a, b;
    writeElement(*root, a, 0);
    writeElement(*copy, b, 0);
    EXPECT_EQ(a.str(), b.str());
}

TEST(XMLParserTest, DeclarationEncodingIsCollected) {
    auto latin = parsed("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><r v=\"caf\xE9\"/>");
    EXPECT_EQ(latin->encoding, "ISO-8859-1");
    EXPECT_STREQ(latin->document()->root->attribute("v"), "caf\xC3\xA9"); // delivered as UTF-8
    EXPECT_EQ(parsed("<?xml version=\"1.0\"?><r/>")->encoding, "UTF-8");
}

TEST(XMLParserTest, FailuresReportWhereAndKeepNoDocument) {
    std::string deep;
    for (int i = 0; i <= XMLParser::maxDepth; ++i)
        deep += "<a>";
    const std::pair<const char*, std::string> cases[] = {
        {"empty", ""},        {"unclosed", "<r><a></r>"},         {"junk after root", "<r/><s/>"},
        {"not xml", "hello"}, {"cut short", "<ZEPCMD Res=\"0\""}, {"nested too deeply", deep},
    };
    for (const auto& [name, text] : cases) {
        SCOPED_TRACE(name);
        XMLParser parser;
        std::istringstream in(text);
        EXPECT_FALSE(parser.parse(in));
        EXPECT_FALSE(parser.errorMessage.empty());
        EXPECT_EQ(parser.document(), nullptr);
    }
    XMLParser parser;
    std::istringstream in("<r>\n<a>\n</r>");
    EXPECT_FALSE(parser.parse(in));
    EXPECT_EQ(parser.errorLine, 3);
    EXPECT_EQ(parser.errorMessage, "mismatched tag");

    // External entities are never fetched.
    auto external = parsed("<!DOCTYPE r [<!ENTITY e SYSTEM \"file:///etc/passwd\">]><r>[&e;]</r>");
    EXPECT_EQ(external->document()->root->text(), "[]");
}

TEST(XMLParserTest, BillionLaughsIsRefused) {
    std::string text = "<?xml version=\"1.0\"?><!DOCTYPE lolz [<!ENTITY lol \"lol\">";
    for (int i = 1; i <= 9; ++i) {
        text += "<!ENTITY lol" + std::to_string(i) + " \"";
        for (int j = 0; j < 10; ++j)
            text += i == 1 ? "&lol;" : "&lol" + std::to_string(i - 1) + ";";
        text += "\">";
    }
    text += "]><lolz>&lol9;</lolz>";
    XMLParser parser;
    std::istringstream in(text);
    EXPECT_FALSE(parser.parse(in));
    EXPECT_EQ(parser.document(), nullptr);

    // Small internal entities still work.
    auto small = parsed("<!DOCTYPE r [<!ENTITY who \"world\">]><r>hello &who;</r>");
    EXPECT_EQ(small->document()->root->text(), "hello world");
}
