#include "kit/PropertyList.h"

#include "support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <limits>
#include <sys/stat.h>

namespace fs = std::filesystem;
using namespace kit;
using testing_support::readFile;
using testing_support::writeFile;

namespace {

const std::string kProlog = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                            "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
                            "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n";

PlistValue parseOrFail(const std::string& text)
{
    auto result = plist::parse(text);
    if (const auto* error = std::get_if<PlistError>(&result)) {
        ADD_FAILURE() << "parse failed: " << error->message << " at " << error->line << ":" << error->column
                      << "\n" << text;
        return PlistValue();
    }
    return std::get<PlistValue>(result);
}

PlistError errorOf(const std::string& text)
{
    auto result = plist::parse(text);
    if (const auto* error = std::get_if<PlistError>(&result))
        return *error;
    ADD_FAILURE() << "parse unexpectedly succeeded:\n" << text;
    return PlistError{};
}

PlistValue roundTrip(const PlistValue& value)
{
    return parseOrFail(plist::serialize(value));
}

PlistData allBytes()
{
    PlistData data;
    for (int i = 0; i < 256; ++i)
        data.bytes.push_back(static_cast<std::uint8_t>(i));
    return data;
}

} // namespace

TEST(PropertyList, EveryKindSurvivesARoundTrip)
{
    PlistDictionary nested{{"empty array", PlistArray{}}, {"empty dict", PlistDictionary{}}};
    PlistDictionary dict{
        {"text", "Motörhead – Ace of Spades ♠ 日本語 🎵"},
        {"markup", "a & b < c > d \"quoted\" 'single' ]]> &amp;"},
        {"spaces", "  leading and trailing\n\tand a tab  "},
        {"empty", ""},
        {"int max", std::numeric_limits<std::int64_t>::max()},
        {"int min", std::numeric_limits<std::int64_t>::min()},
        {"zero", 0},
        {"tenth", 0.1},
        {"huge", 1e300},
        {"denormal", 5e-324},
        {"whole real", 2.0},
        {"negative zero", -0.0},
        {"infinity", std::numeric_limits<double>::infinity()},
        {"yes", true},
        {"no", false},
        {"array", PlistArray{1, "two", 3.5, false, PlistArray{PlistArray{}}}},
        {"nested", nested},
        {"no bytes", PlistData{}},
        {"one byte", PlistData{{0xff}}},
        {"two bytes", PlistData{{0x00, 0x01}}},
        {"every byte", allBytes()},
        {"date", PlistDate{"2026-12-08T14:23:00Z"}},
        {"ключ & <key>", "value"},
    };
    const PlistValue back = roundTrip(dict);
    EXPECT_EQ(back, PlistValue(dict));
    EXPECT_TRUE(std::signbit(back.get<PlistDictionary>().at("negative zero").get<double>()));

    // Every kind works as the top-level value too.
    for (const PlistValue& top : {PlistValue("top"), PlistValue(7), PlistValue(1.5), PlistValue(true),
                                  PlistValue(PlistArray{}), PlistValue(PlistData{{1, 2, 3}}),
                                  PlistValue(PlistDate{"2001-01-01T00:00:00Z"})})
        EXPECT_EQ(roundTrip(top), top);

    const PlistValue nan = roundTrip(std::numeric_limits<double>::quiet_NaN());
    ASSERT_TRUE(nan.is<double>());
    EXPECT_TRUE(std::isnan(nan.get<double>()));
}

TEST(PropertyList, WritesTheStandardTabIndentedLayout)
{
    const PlistDictionary dict{{"a", PlistArray{1, true}}, {"b", "x&y"}, {"c", PlistDictionary{}}, {"d", 0.25}};
    EXPECT_EQ(plist::serialize(dict), kProlog + "<plist version=\"1.0\">\n"
                                                "<dict>\n"
                                                "\t<key>a</key>\n"
                                                "\t<array>\n"
                                                "\t\t<integer>1</integer>\n"
                                                "\t\t<true/>\n"
                                                "\t</array>\n"
                                                "\t<key>b</key>\n"
                                                "\t<string>x&amp;y</string>\n"
                                                "\t<key>c</key>\n"
                                                "\t<dict/>\n"
                                                "\t<key>d</key>\n"
                                                "\t<real>0.25</real>\n"
                                                "</dict>\n"
                                                "</plist>\n");
}

TEST(PropertyList, TheShippedInfoPlistRewritesByteForByte)
{
    const std::string original = readFile(std::string(ZINTARA_SOURCE_DIR) + "/resources/bundle/Contents/Info.plist");
    ASSERT_FALSE(original.empty());
    EXPECT_EQ(plist::serialize(parseOrFail(original)), original);
}

TEST(PropertyList, TextXmlCannotCarryIsReplacedNotRefused)
{
    // Control characters and broken UTF-8 have no XML 1.0 form; they become
    // U+FFFD so the file stays readable. A carriage return survives.
    const std::string nasty = std::string("a\x01" "b\x1f" "c\0d", 7) + "\r\n\xC3(\xFF" + "\xEF\xBF\xBE" + "e\r";
    const std::string text = plist::serialize(PlistDictionary{{nasty, nasty}});
    const PlistValue back = parseOrFail(text);
    const std::string expected = "a\uFFFDb\uFFFDc\uFFFDd\r\n\uFFFD(\uFFFD\uFFFDe\r";
    EXPECT_EQ(back, PlistValue(PlistDictionary{{expected, expected}}));
}

TEST(PropertyList, ReadsWhatOtherWritersProduce)
{
    const std::string text = "\xEF\xBB\xBF" + kProlog.substr(0, kProlog.size() - 2)
        + " [ <!-- an internal subset ] > --> <!ELEMENT x ANY> ]>\n"
          "<!-- a comment -->\n"
          "<plist version=\"1.0\">\n"
          "<dict>\n"
          "  <key>cdata</key><string><![CDATA[<not> & markup]]></string>\n"
          "  <key>refs</key><string>&lt;&gt;&amp;&quot;&apos;&#65;&#x263A;&#x1F3B5;</string>\n"
          "  <!-- between entries -->\n"
          "  <key>hex</key><integer>0x1F</integer>\n"
          "  <key>plus</key><integer> +42 </integer>\n"
          "  <key>negative</key><integer>-9223372036854775808</integer>\n"
          "  <key>exp</key><real>-1.5E3</real>\n"
          "  <key>inf</key><real>-infinity</real>\n"
          "  <key>data</key><data>\n    AAEC\n    /w==\n  </data>\n"
          "  <key>selfclosing</key><string/>\n"
          "  <key>crlf</key><string>a\r\nb\rc</string>\n"
          "  <key>dup</key><integer>1</integer>\n"
          "  <key>dup</key><integer>2</integer>\n"
          "  <key\n>spaced</key ><false\n/>\n"
          "</dict>\n"
          "</plist>\n";
    const PlistDictionary expected{
        {"cdata", "<not> & markup"},
        {"refs", "<>&\"'A\u263A\U0001F3B5"},
        {"hex", 31},
        {"plus", 42},
        {"negative", std::numeric_limits<std::int64_t>::min()},
        {"exp", -1500.0},
        {"inf", -std::numeric_limits<double>::infinity()},
        {"data", PlistData{{0, 1, 2, 0xff}}},
        {"selfclosing", ""},
        {"crlf", "a\nb\nc"},
        {"dup", 2},
        {"spaced", false},
    };
    EXPECT_EQ(parseOrFail(text), PlistValue(expected));

    // A bare value without the <plist> wrapper is a property list too.
    EXPECT_EQ(parseOrFail("<array><string>x</string></array>"), PlistValue(PlistArray{"x"}));
}

TEST(PropertyList, MalformedInputIsRefusedWithItsPlace)
{
    struct Case {
        std::string text;
        std::string message;
        int line;
        int column;
    };
    const std::string p = "<plist version=\"1.0\">\n";
    const std::vector<Case> cases = {
        {"", "no property list", 1, 1},
        {"   \n  ", "no property list", 2, 3},
        {p + "<dict>\n<key>a</key>\n</dict>\n</plist>", "key \"a\" has no value", 4, 1},
        {p + "<dict>\n<string>a</string>\n</dict></plist>", "expected <key>", 3, 1},
        {p + "<array>\n<integer>1</integer>\n</dict></plist>", "expected </array>", 4, 1},
        {p + "<strin>x</strin></plist>", "unknown element <strin>", 2, 1},
        {p + "<string>x</string>", "unexpected end", 2, 19},
        {p + "<string>x</string><string>y</string></plist>", "expected </plist>", 2, 19},
        {p + "<string>x</string></plist><extra/>", "content after the end", 2, 27},
        {p + "<string>unterminated", "unterminated <string>", 2, 21},
        {p + "<integer>12a</integer></plist>", "malformed <integer>", 2, 1},
        {p + "<integer></integer></plist>", "malformed <integer>", 2, 1},
        {p + "<integer>9223372036854775808</integer></plist>", "out of range", 2, 1},
        {p + "<real>1.2.3</real></plist>", "malformed <real>", 2, 1},
        {p + "<real>--1</real></plist>", "malformed <real>", 2, 1},
        {p + "<data>AB$C</data></plist>", "malformed base64", 2, 1},
        {p + "<true>yes</true></plist>", "<true> must be empty", 2, 1},
        {p + "<string>&nbsp;</string></plist>", "unknown entity &nbsp;", 2, 9},
        {p + "<string>&#0;</string></plist>", "invalid character reference", 2, 9},
        {p + "<string>&#xD800;</string></plist>", "invalid character reference", 2, 9},
        {p + "<string>a & b</string></plist>", "malformed reference", 2, 11},
        {p + "<string>\xC3\x28</string></plist>", "invalid UTF-8", 2, 9},
        {p + "<string>\xE0\x80\x80</string></plist>", "invalid UTF-8", 2, 9},
        {p + "<string>ä\x01</string></plist>", "character not allowed", 2, 10},
        {p + "<key>k</key></plist>", "<key> outside a dictionary", 2, 1},
        {p + "<string a=b>x</string></plist>", "quoted attribute", 2, 11},
        {"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><string/>", "unsupported encoding", 1, 21},
        {"\xFF\xFE<\0p\0", "UTF-16", 1, 1},
        {"<!DOCTYPE plist [ <!ENTITY x \"y\"> \n", "unterminated document type", 1, 1},
    };
    for (const Case& c : cases) {
        const PlistError error = errorOf(c.text);
        EXPECT_NE(error.message.find(c.message), std::string::npos)
            << "got \"" << error.message << "\" for:\n" << c.text;
        EXPECT_EQ(error.line, c.line) << c.text;
        EXPECT_EQ(error.column, c.column) << c.text;
    }
}

TEST(PropertyList, DeclaredEntitiesAreNeverExpanded)
{
    // Neither an external entity (a file read) nor an internal one (the
    // exponential kind) is honoured: the reference is simply an error.
    const std::string external = "<?xml version=\"1.0\"?>\n"
                                 "<!DOCTYPE plist [ <!ENTITY secret SYSTEM \"file:///etc/hostname\"> ]>\n"
                                 "<plist><string>&secret;</string></plist>";
    EXPECT_NE(errorOf(external).message.find("unknown entity &secret;"), std::string::npos);
    const std::string internal = "<!DOCTYPE plist [ <!ENTITY a \"aaaaaaaaaa\"> <!ENTITY b \"&a;&a;&a;&a;\"> ]>"
                                 "<plist><string>&b;</string></plist>";
    EXPECT_NE(errorOf(internal).message.find("unknown entity &b;"), std::string::npos);
}

TEST(PropertyList, DeepNestingIsBoundedNotAStackOverflow)
{
    auto nested = [](int depth, const std::string& open, const std::string& close) {
        std::string text = "<plist>";
        for (int i = 0; i < depth; ++i)
            text += open;
        for (int i = 0; i < depth; ++i)
            text += close;
        return text + "</plist>";
    };
    EXPECT_TRUE(std::holds_alternative<PlistValue>(plist::parse(nested(200, "<array>", "</array>"))));
    const PlistError arrays = errorOf(nested(1'000'000, "<array>", "</array>"));
    EXPECT_NE(arrays.message.find("nesting deeper than"), std::string::npos);
    const PlistError dicts = errorOf(nested(100'000, "<dict><key>k</key>", "</dict>"));
    EXPECT_NE(dicts.message.find("nesting deeper than"), std::string::npos);
}

TEST(PropertyList, DecimalsReadTheSameInAnyLocaleAndSaturate)
{
    struct Case {
        std::string text;
        double value;
        std::size_t used;
    };
    const double inf = std::numeric_limits<double>::infinity();
    const std::vector<Case> cases = {
        {"12abc", 12.0, 2},
        {"-2.5e3x", -2500.0, 6},
        {"+.5", 0.5, 3},
        {"1e", 1.0, 1},
        {"1e-320", 1e-320, 6},
        {"1e-400", 0.0, 6},
        {"-1e400", -inf, 6},
        {"0." + std::string(400, '0') + "1", 0.0, 403},
        {"1" + std::string(400, '0'), inf, 401},
        {"123e-999", 0.0, 8},
        {"0.001e400", inf, 9},
        {"inf", 0.0, 0},
        {"nan", 0.0, 0},
        {"-", 0.0, 0},
        {".", 0.0, 0},
        {"", 0.0, 0},
        {"abc", 0.0, 0},
    };
    for (const Case& c : cases) {
        std::size_t used = 99;
        EXPECT_EQ(plist::readDecimal(c.text, used), c.value) << c.text;
        EXPECT_EQ(used, c.used) << c.text;
    }
    std::size_t used = 0;
    EXPECT_TRUE(std::signbit(plist::readDecimal("-0", used)));
    EXPECT_TRUE(std::signbit(plist::readDecimal("-1e-999", used)));

    EXPECT_EQ(parseOrFail("<real>0." + std::string(400, '0') + "1</real>"), PlistValue(0.0));
}

class PropertyListFileTest : public testing_support::KitTest {};

TEST_F(PropertyListFileTest, WritesAtomicallyAndReadsBack)
{
    const std::string path = tempDir() + "/out.plist";
    const PlistDictionary first{{"k", "first"}};
    const PlistDictionary second{{"k", "second ✓"}};
    ASSERT_TRUE(plist::writeFileAtomically(path, first));
    chmod(path.c_str(), 0640);
    ASSERT_TRUE(plist::writeFileAtomically(path, second));

    auto read = plist::readFile(path);
    ASSERT_TRUE(std::holds_alternative<PlistValue>(read));
    EXPECT_EQ(std::get<PlistValue>(read), PlistValue(second));
    EXPECT_EQ(readFile(path), plist::serialize(second));

    struct stat info {};
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u) << "a rewrite keeps the file's permissions";

    // Nothing but the target is left in the folder.
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(tempDir()))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"Zintara.app", "config", "out.plist"}));
}

TEST_F(PropertyListFileTest, AFailedWriteLeavesTheTargetAndNoTemporaryFile)
{
    // The target is a folder with content, so the final rename must fail.
    const std::string target = tempDir() + "/busy.plist";
    fs::create_directories(target + "/inside");
    std::string reason;
    EXPECT_FALSE(plist::writeFileAtomically(target, PlistDictionary{{"k", 1}}, &reason));
    EXPECT_EQ(reason, "Is a directory");
    EXPECT_TRUE(fs::is_directory(target + "/inside"));
    for (const auto& entry : fs::directory_iterator(tempDir()))
        EXPECT_EQ(entry.path().filename().string().find("busy.plist."), std::string::npos) << entry.path();

    EXPECT_FALSE(plist::writeFileAtomically(tempDir() + "/no/such/folder/x.plist", PlistDictionary{}, &reason));
    EXPECT_EQ(reason, "No such file or directory");
}

TEST_F(PropertyListFileTest, WritesThroughASymbolicLink)
{
    const std::string real = tempDir() + "/real.plist";
    const std::string link = tempDir() + "/link.plist";
    writeFile(real, "old");
    fs::create_symlink(real, link);
    ASSERT_TRUE(plist::writeFileAtomically(link, PlistDictionary{{"k", true}}));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(readFile(real), plist::serialize(PlistDictionary{{"k", true}}));
}

TEST_F(PropertyListFileTest, AnUnreadableFileIsAnError)
{
    auto missing = plist::readFile(tempDir() + "/missing.plist");
    ASSERT_TRUE(std::holds_alternative<PlistError>(missing));
    EXPECT_NE(std::get<PlistError>(missing).message.find("missing.plist"), std::string::npos);

    auto folder = plist::readFile(tempDir());
    EXPECT_TRUE(std::holds_alternative<PlistError>(folder));

    // A pipe in the file's place must not block the reader.
    const std::string fifo = tempDir() + "/pipe.plist";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_TRUE(std::holds_alternative<PlistError>(plist::readFile(fifo)));
}
