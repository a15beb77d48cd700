#include "MessageThreadTest.h"
#include "PresetFormat.h"
#include <csignal>
#include <sys/resource.h>

namespace
{
    PRESET recordWith (std::initializer_list<std::pair<int, int>> bytes)
    {
        PRESET r;
        for (auto [index, value] : bytes)
            r.bytes[index] = (juce::uint8) value;
        return r;
    }
}

TEST (PresetFormat, EmptyJsonGivesTheDefaults)
{
    const PresetFormat p (juce::var(), {});
    EXPECT_EQ (p.getName(), "None");

    for (auto& key : PresetFormat::valueKeys())
        EXPECT_EQ (p.getIntValue (key.name), key.defaultValue) << key.name;

    EXPECT_EQ (PresetFormat (juce::var(), "Default").getName(), "Default");
}

TEST (PresetFormat, JsonValuesAreKeptAndTheGivenNameWins)
{
    const auto json = juce::JSON::parse (R"({"name": "Stored", "vol": 10, "sus": "loud", "extra": 3})");

    const PresetFormat named (json, "Quiet");
    EXPECT_EQ (named.getName(), "Quiet");
    EXPECT_EQ (named.getIntValue ("vol"), 10);
    EXPECT_EQ (named.getValue ("sus").toString(), "loud") << "stored as read";
    EXPECT_EQ (named.getIntValue ("ton"), 63);
    EXPECT_FALSE (named.getObject().hasProperty ("extra"));

    EXPECT_EQ (PresetFormat (json, {}).getName(), "Stored");
}

TEST (PresetFormat, RecordEncoding)
{
    auto pumpkin = juce::JSON::parse (R"({"name": "Pumpkin Dream", "vol": 69, "ton": 65, "sus": 127,
                                          "tonBypass": 0, "tonLattice": 0, "adcL": 63, "adcR": 63,
                                          "adcLink": 1, "dacL": 111, "dacR": 111, "dacLink": 1})");
    const auto r = PresetFormat (pumpkin, {}).toPreset (3);

    EXPECT_EQ (r.bytes[0], 3);
    EXPECT_EQ (r.getName(), "Pumpkin Dream");
    EXPECT_EQ (r.bytes[14], 0);
    EXPECT_EQ (r.bytes[18], 69);
    EXPECT_EQ (r.bytes[19], 65);
    EXPECT_EQ (r.bytes[20], 127);
    EXPECT_EQ (r.bytes[21], 63);
    EXPECT_EQ (r.bytes[23], 0);
    EXPECT_EQ (r.bytes[24], 0);
    for (auto b : r.bytes)
        EXPECT_NE (b, 111) << "the DAC gains do not travel";

    struct Case { juce::String name; const char* onTheWire; };
    const Case names[] = {
        { "Twenty characters!!!", "Twenty characte" },
        { juce::String (juce::CharPointer_UTF8 ("Caf\xc3\xa9 Fuzz")), "Caf  Fuzz" },
        { "", "" } };

    for (auto& c : names)
    {
        const auto rec = PresetFormat (juce::var(), c.name.isEmpty() ? "x" : c.name).toPreset (0);
        if (c.name.isNotEmpty())
            EXPECT_EQ (rec.getName(), c.onTheWire);
        EXPECT_EQ (rec.bytes[16], 0) << "byte 16 is always zero";
    }

    auto switches = juce::JSON::parse (R"({"tonBypass": 1, "tonLattice": 5, "vol": 200})");
    const auto s = PresetFormat (switches, "s").toPreset (0x85);
    EXPECT_EQ (s.bytes[23], 0x11);
    EXPECT_EQ (s.bytes[0], 0x05) << "every byte is 7-bit";
    EXPECT_EQ (s.bytes[18], 200 & 0x7F);
}

TEST (PresetFormat, RecordDecoding)
{
    const auto r = recordWith ({ { 18, 10 }, { 19, 20 }, { 20, 30 }, { 21, 70 }, { 23, 0x11 }, { 24, 3 } });
    const PresetFormat p (r, "Given");

    EXPECT_EQ (p.getName(), "Given");
    EXPECT_EQ (p.getIntValue ("vol"), 10);
    EXPECT_EQ (p.getIntValue ("ton"), 20);
    EXPECT_EQ (p.getIntValue ("sus"), 30);
    EXPECT_EQ (p.getIntValue ("adcL"), 70);
    EXPECT_EQ (p.getIntValue ("adcR"), 70);
    EXPECT_EQ (p.getIntValue ("tonBypass"), 1);
    EXPECT_EQ (p.getIntValue ("tonLattice"), 1);
    EXPECT_EQ (p.getIntValue ("adcLink"), 1);
    EXPECT_EQ (p.getIntValue ("dacL"), 63);
    EXPECT_EQ (p.getIntValue ("dacR"), 63);

    PRESET full;
    for (int i = 1; i <= 16; ++i)
        full.bytes[i] = (juce::uint8) ('A' + i - 1);
    EXPECT_EQ (PresetFormat (full, {}).getName(), "ABCDEFGHIJKLMNOP") << "sixteen characters from the pedal";
}

TEST (PresetFormat, FileTextIsExact)
{
    const juce::String name (juce::CharPointer_UTF8 ("Say \"Caf\xc3\xa9\" \\ \xf0\x9f\x8e\xb8"));
    const PresetFormat p (juce::var(), name);

    const juce::String expected =
        "{\r\n"
        "  \"name\": \"Say \\\"Caf\\u00e9\\\" \\\\ \\ud83c\\udfb8\",\r\n"
        "  \"vol\": 63,\r\n  \"ton\": 63,\r\n  \"sus\": 63,\r\n  \"tonBypass\": 0,\r\n  \"tonLattice\": 0,\r\n"
        "  \"adcL\": 63,\r\n  \"adcR\": 63,\r\n  \"adcLink\": 1,\r\n  \"dacL\": 63,\r\n  \"dacR\": 63,\r\n"
        "  \"dacLink\": 1\r\n"
        "}";
    EXPECT_EQ (p.toFileText(), expected);

    // What is written reads back as the same preset.
    const PresetFormat back (PresetFormat::parseJson (p.toFileText()), {});
    EXPECT_EQ (back.getName(), name);
}

TEST (PresetFormat, SafeFileNames)
{
    const std::pair<const char*, const char*> cases[] = {
        { "Nice Lead", "Nice Lead" },
        { "../../../etc/passwd", "_.._.._etc_passwd" },
        { "..", "Untitled" },
        { ".hidden", "hidden" },
        { "a\\b/c:d", "a_b_c_d" },
        { "tab\there", "tab_here" },
        { "   ", "Untitled" },
        { "", "Untitled" } };

    for (auto [in, out] : cases)
        EXPECT_EQ (PresetFormat::toSafeFileName (in), out) << in;

    EXPECT_EQ (PresetFormat::toSafeFileName (juce::String::repeatedString ("x", 300)).length(), 100);
}

class PresetFileTest : public MessageThreadTest {};

TEST_F (PresetFileTest, AFailedWriteLeavesTheOldFileIntact)
{
    const auto file = home.getFolder().getChildFile ("Keep.mfp");
    ASSERT_TRUE (PresetFormat (juce::var(), "Keep").writeToFile (file));
    const auto before = file.loadFileAsString();

    // Writes beyond 64 bytes fail, even for root.
    rlimit previous {};
    getrlimit (RLIMIT_FSIZE, &previous);
    auto* previousHandler = std::signal (SIGXFSZ, SIG_IGN);
    rlimit small = previous;
    small.rlim_cur = 64;
    setrlimit (RLIMIT_FSIZE, &small);

    const bool written = PresetFormat (juce::var(), "A much longer preset name").writeToFile (file);

    setrlimit (RLIMIT_FSIZE, &previous);
    std::signal (SIGXFSZ, previousHandler);

    EXPECT_FALSE (written);
    EXPECT_EQ (file.loadFileAsString(), before);
    EXPECT_EQ (home.getFolder().findChildFiles (juce::File::findFiles, false, "*").size(), 1)
        << "no temporary file is left behind";
}
