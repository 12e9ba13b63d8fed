// Record names, their order and the records of a settings file.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "common/FixedText.h"
#include "instrument/Korr_protocol.h"

namespace {

using korr::NamedRecord;
using korr::RecordSet;

RecordSet MakeSet(const std::vector<std::string>& texts) {
    RecordSet set;
    set.count = static_cast<int32_t>(texts.size());
    set.records = std::make_unique<NamedRecord[]>(texts.size());
    for (size_t i = 0; i < texts.size(); ++i) korr::CopyText(set.records[i].text, texts[i].c_str());
    return set;
}

std::vector<std::string> Names(const RecordSet& set) {
    std::vector<std::string> names;
    for (int32_t i = 0; i < set.count; ++i) names.emplace_back(set.records[i].name);
    return names;
}

std::vector<std::string> Texts(const RecordSet& set) {
    std::vector<std::string> texts;
    for (int32_t i = 0; i < set.count; ++i) texts.emplace_back(set.records[i].text);
    return texts;
}

// Plain base64 of a text, so that the cases read as the decoded records they are.
std::string Base64(const std::string& plain) {
    static const char* alphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (size_t i = 0; i < plain.size(); i += 3) {
        uint32_t v = static_cast<uint8_t>(plain[i]) << 16;
        if (i + 1 < plain.size()) v |= static_cast<uint8_t>(plain[i + 1]) << 8;
        if (i + 2 < plain.size()) v |= static_cast<uint8_t>(plain[i + 2]);
        out += alphabet[(v >> 18) & 63];
        out += alphabet[(v >> 12) & 63];
        out += i + 1 < plain.size() ? alphabet[(v >> 6) & 63] : '=';
        out += i + 2 < plain.size() ? alphabet[v & 63] : '=';
    }
    return out;
}

class RecordTest : public ::testing::Test {
  protected:
    korr::Korr_protocol protocol{nullptr};
};

TEST_F(RecordTest, EquationNamesShowBlanksAndCommasAndSortCaseBlind) {
    RecordSet set = MakeSet({"Zeta_1 x+1", "alpha 2*x", "Beta`2 x/2"});
    ASSERT_EQ(protocol.ExtractNames(set, korr::kRecordEqn), 1);
    EXPECT_EQ(Names(set), (std::vector<std::string>{"Zeta 1", "alpha", "Beta,2"}));
    ASSERT_EQ(protocol.AlphabetizeRecords(set, korr::kRecordEqn), 1);
    EXPECT_EQ(Names(set), (std::vector<std::string>{"alpha", "Beta,2", "Zeta 1"}));
    EXPECT_EQ(Texts(set), (std::vector<std::string>{"alpha 2*x", "Beta`2 x/2", "Zeta_1 x+1"}));
}

TEST_F(RecordTest, EquationNameStopsAtTwentyCharacters) {
    RecordSet set = MakeSet({"abcdefghijklmnopqrstuvwxyz 1"});
    protocol.ExtractNames(set, korr::kRecordEqn);
    EXPECT_STREQ(set.records[0].name, "abcdefghijklmnopqrst");
}

TEST_F(RecordTest, EqualNamesSwapPlaces) {
    RecordSet set = MakeSet({"same first", "SAME second"});
    protocol.AlphabetizeRecords(set, korr::kRecordEqn);
    EXPECT_EQ(Texts(set), (std::vector<std::string>{"SAME second", "same first"}));
}

TEST_F(RecordTest, UserNameIsTheFourthFieldCutToNine) {
    struct Case {
        const char* decoded;
        const char* name;
    };
    const Case cases[] = {
        {"a\tb\tc\tTwelveLetter\tmore", "TwelveLet"},
        {"a\tb\tc\tshort", "short"},
        {"a\tb\tc\t", ""},
        {"a\tb\tc", ""},  // fewer than three tabs: no name field
        {"no tabs at all", ""},
        {"", ""},
    };
    for (const Case& c : cases) {
        RecordSet set = MakeSet({Base64(c.decoded)});
        ASSERT_EQ(protocol.ExtractNames(set, korr::kRecordUser), 1);
        EXPECT_STREQ(set.records[0].name, c.name) << c.decoded;
    }
}

TEST_F(RecordTest, UserTextOfFullLengthDecodesWithinTheRecord) {
    // 100 base64 characters, the most a record holds, decode without reading past the text.
    std::string text = Base64(std::string("x\ty\tz\t") + std::string(69, 'n'));
    ASSERT_EQ(text.size(), 100u);
    RecordSet set = MakeSet({text});
    protocol.ExtractNames(set, korr::kRecordUser);
    EXPECT_STREQ(set.records[0].name, "nnnnnnnnn");
}

TEST_F(RecordTest, Base64QuadMapsTheAlphabetAndTreatsOthersAsZero) {
    uint8_t out[3];
    korr::DecodeBase64Quad("TWFu", out);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out), 3), "Man");
    korr::DecodeBase64Quad("+/+/", out);
    EXPECT_EQ(out[0], 0xFB);
    EXPECT_EQ(out[1], 0xFF);
    EXPECT_EQ(out[2], 0xBF);
    korr::DecodeBase64Quad("=*\x80!", out);
    EXPECT_EQ(out[0] | out[1] | out[2], 0);
}

TEST_F(RecordTest, NameOrderComparesAtMost32Characters) {
    NamedRecord a, b;
    std::memset(a.name, 'A', 32);
    std::memset(b.name, 'a', 32);
    b.name[31] = 'b';  // differs within the 32
    EXPECT_TRUE(korr::RecordNameLess(a, b));
    EXPECT_FALSE(korr::RecordNameLess(b, a));
    NamedRecord prefix;
    korr::CopyText(prefix.name, "AAA");
    EXPECT_TRUE(korr::RecordNameLess(prefix, a));
    EXPECT_FALSE(korr::RecordNameLess(a, prefix));
}

TEST_F(RecordTest, WrongTypeOrNoArrayIsRefused) {
    RecordSet set = MakeSet({"x"});
    EXPECT_EQ(protocol.ExtractNames(set, 3), -11);
    EXPECT_EQ(protocol.AlphabetizeRecords(set, 0), -11);
    EXPECT_EQ(protocol.GetRecords_File(set, 7, "user00=\"x\"\r\n"), -11);
    EXPECT_EQ(set.count, 1);  // nothing changed
    RecordSet empty;
    EXPECT_EQ(protocol.ExtractNames(empty, korr::kRecordEqn), -10);
    EXPECT_EQ(protocol.AlphabetizeRecords(empty, korr::kRecordEqn), 1);
}

TEST_F(RecordTest, FileRecordsAreReadUpToTheFirstMissingIndex) {
    RecordSet set = MakeSet({"old"});
    const char* file =
        "type=\"QE8\"\r\n"
        "user00=\"first\"\r\n"
        "user01=\"second\"\r\n"
        "user03=\"fourth\"\r\n";
    EXPECT_EQ(protocol.GetRecords_File(set, korr::kRecordUser, file), 1);
    EXPECT_EQ(Texts(set), (std::vector<std::string>{"first", "second"}));
}

TEST_F(RecordTest, FileRecordKeysCountOnlyAtALineStart) {
    RecordSet set;
    // "eqn00" inside a value is no record.
    const char* file = "location=\"see eqn00=\"\"\r\n";
    EXPECT_EQ(protocol.GetRecords_File(set, korr::kRecordEqn, file), 0);
    EXPECT_EQ(set.count, 0);
    EXPECT_FALSE(set.records);
}

TEST_F(RecordTest, FileRecordWithEmptyValueEndsTheSet) {
    RecordSet set;
    const char* file = "eqn00=\"a 1\"\r\neqn01=\"\"\r\neqn02=\"c 3\"\r\n";
    EXPECT_EQ(protocol.GetRecords_File(set, korr::kRecordEqn, file), 1);
    EXPECT_EQ(Texts(set), (std::vector<std::string>{"a 1"}));
}

}  // namespace
