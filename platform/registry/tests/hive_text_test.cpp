// The hive's text form: every name and value survives a write and a read, nesting is bounded,
// and the text grows with what is stored.
#include "nested_hive.h"
#include "plat/registry.h"
#include "platform/registry/fuzz/hive_round_trip.h"
#include "platform/registry/hive_text.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace {

using host::reg::HiveDifference;
using host::reg::HiveTextError;
using host::reg::Key;
using host::reg::ReadHiveText;
using host::reg::WriteHiveText;

// Units that have to be escaped somewhere, that end or split a line, or that are not ASCII.
const char16_t kAwkward[] = {u'\\',  u'%',   u'"',   u'[',  u']',  u'@',  u'=',   u';',   u' ',
                             u'\t',  0,      1,      u'\n', u'\r', 0x1B,  0x7F,   0x80,   0x9B,
                             0xE9,   0xDF,   0x3A3,  0x3C2, 0x416, 0x451, 0x4E2D, 0xFFFD, 0xFFFF,
                             0xFEFF, 0xD83D, 0xDE00, u'u',  u'0',  u'F',  u'x',   u':'};

class RandomHive {
public:
    explicit RandomHive(unsigned seed) : m_random(seed) {}

    std::u16string Name(size_t maxLength, bool mayBeEmpty) {
        size_t length = Below(maxLength + 1);
        if (!length && !mayBeEmpty) length = 1;
        std::u16string name;
        for (size_t i = 0; i < length; ++i) {
            switch (Below(4)) {
            case 0:
                name += kAwkward[Below(std::size(kAwkward))];
                break;
            case 1:
                name += u"\U0001F600";
                break; // a surrogate pair
            default:
                name += char16_t(u'a' + Below(26));
            }
        }
        return name;
    }

    std::vector<BYTE> Bytes(size_t maxLength) {
        std::vector<BYTE> data(Below(maxLength + 1));
        for (BYTE& b : data)
            b = BYTE(Below(256));
        return data;
    }

    void AddValue(Key& key) {
        DWORD type = 0;
        std::vector<BYTE> data;
        switch (Below(6)) {
        case 0: { // a plain string
            type = REG_SZ;
            for (char16_t c : Name(20, true))
                data.insert(data.end(), {BYTE(c & 0xFF), BYTE(c >> 8)});
            data.insert(data.end(), {0, 0});
            break;
        }
        case 1:
            type = REG_SZ, data = Bytes(9);
            break; // odd, unterminated or with a zero inside
        case 2:
            type = REG_DWORD, data = Bytes(6);
            break;
        case 3:
            type = REG_BINARY, data = Bytes(12);
            break;
        case 4:
            type = REG_MULTI_SZ, data = Bytes(12);
            break;
        default:
            type = DWORD(m_random()), data = Bytes(5);
        }
        key.SetValue(Name(12, true), type, std::move(data));
    }

    // A tree with long names and deep branches, so that some key lines are written relative to
    // the ones before them.
    void Fill(Key& key, int depth) {
        for (size_t v = Below(4); v > 0; --v)
            AddValue(key);
        if (depth == 0) return;
        // Bushy near the leaves, a branch now and then higher up.
        for (size_t c = depth > 3 ? 1 + (Below(8) == 0) : Below(3); c > 0; --c)
            Fill(*key.AddChild(Name(40, false)), depth - 1);
    }

private:
    size_t Below(size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(m_random); }
    std::mt19937 m_random;
};

Key Read(const std::string& text, HiveTextError* error = nullptr) {
    Key root;
    HiveTextError ignored;
    EXPECT_TRUE(ReadHiveText(text, &root, error ? error : &ignored)) << (error ? error : &ignored)->reason;
    return root;
}

TEST(HiveText, EveryNameAndValueSurvivesAWriteAndARead) {
    int climbing = 0; // texts with a relative key line that goes up from the key before
    for (unsigned seed = 1; seed <= 40; ++seed) {
        Key root;
        RandomHive random(seed);
        random.Fill(root, seed % 4 == 0 ? 30 : 3);
        const std::string text = WriteHiveText(root);
        Key back;
        HiveTextError error;
        ASSERT_TRUE(ReadHiveText(text, &back, &error))
            << "seed " << seed << ", line " << error.line << ": " << error.reason;
        EXPECT_EQ(HiveDifference(root, back), "") << "seed " << seed;
        EXPECT_EQ(WriteHiveText(back), text) << "seed " << seed;
        climbing += text.find("\n[\\\\") != std::string::npos;
    }
    EXPECT_GT(climbing, 0);
}

TEST(HiveText, HivesWrittenWithFullPathsStillLoad) {
    Key root = Read("YRA registry hive 1\n"
                    "[CLSID]\n"
                    "[CLSID\\{5B13AFDE-230A-44B5-937C-9C858D338F27}]\n"
                    "@=sz:\"Demux\"\n"
                    "[CLSID\\{5B13AFDE-230A-44B5-937C-9C858D338F27}\\InprocServer32]\n"
                    "@=sz:\"/usr/lib/yra/VELDualFmtDemux.so\"\n"
                    "\"ThreadingModel\"=sz:\"Both\"\n");
    const Key* server =
        root.Child(u"clsid")->Child(u"{5b13afde-230a-44b5-937c-9c858d338f27}")->Child(u"INPROCSERVER32");
    ASSERT_NE(server, nullptr);
    EXPECT_NE(server->FindValue(u"threadingmodel"), nullptr);
    // Short paths are still written in full.
    EXPECT_NE(WriteHiveText(root).find("[CLSID\\{5B13AFDE-230A-44B5-937C-9C858D338F27}\\InprocServer32]\n"),
              std::string::npos);
}

TEST(HiveText, RelativeKeyLinesClimbFromTheKeyBefore) {
    Key root = Read("YRA registry hive 1\n[\\a]\n[\\b]\n[\\\\c]\n[\\\\\\d\\e]\n");
    ASSERT_NE(host::reg::FindKey(root, {u"a", u"b"}), nullptr);
    ASSERT_NE(host::reg::FindKey(root, {u"a", u"c"}), nullptr);
    ASSERT_NE(host::reg::FindKey(root, {u"d", u"e"}), nullptr);

    HiveTextError error;
    EXPECT_FALSE(ReadHiveText("YRA registry hive 1\n[a]\n[\\\\\\b]\n", &root, &error));
    EXPECT_EQ(error.line, 3);
    EXPECT_FALSE(ReadHiveText("YRA registry hive 1\n[a]\n[\\]\n", &root, &error));
    EXPECT_EQ(error.line, 3);
}

TEST(HiveText, NestingIsCappedAt512LevelsWithTheLineThatGoesDeeper) {
    for (bool relative : {false, true}) {
        Key root = Read(NestedHive(512, relative));
        EXPECT_NE(WriteHiveText(root).size(), 0u);
        HiveTextError error;
        EXPECT_FALSE(ReadHiveText(NestedHive(100000, relative), &root, &error));
        EXPECT_EQ(error.line, relative ? 514 : 2);
        EXPECT_NE(error.reason.find("512"), std::string::npos) << error.reason;
        EXPECT_TRUE(root.children.empty());
    }
}

TEST(HiveText, ADeepTreeIsFreedWithoutRecursion) {
    // Far deeper than any file may nest, as a tree in memory could still be made.
    auto root = std::make_unique<Key>();
    Key* key = root.get();
    for (int i = 0; i < 200000; ++i)
        key = key->AddChild(u"k");
    root.reset();
    SUCCEED();
}

TEST(HiveText, TheTextGrowsWithWhatIsStoredNotWithTheSquareOfTheDepth) {
    Key root;
    Key* key = &root;
    const std::u16string name(200, u'n');
    size_t stored = 0;
    for (size_t i = 0; i < host::reg::kMaxKeyDepth; ++i) {
        key = key->AddChild(name);
        key->SetValue(u"v", REG_DWORD, {1, 2, 3, 4});
        stored += name.size() + 4;
    }
    const std::string text = WriteHiveText(root);
    // Each key costs its name, its value line and a few bytes; full paths would be 26 MB.
    EXPECT_LT(text.size(), 2 * stored + 64 * host::reg::kMaxKeyDepth);
    EXPECT_EQ(HiveDifference(root, Read(text)), "");
}

TEST(HiveText, AKeyWithManyValuesLoadsThemAll) {
    std::string text = "YRA registry hive 1\n[k]\n";
    for (int i = 0; i < 100000; ++i)
        text += "\"v" + std::to_string(i) + "\"=dword:0000002A\n";
    text += "\"V7\"=dword:00000007\n"; // the same name in another case replaces the value
    Key root = Read(text);
    const Key* k = root.Child(u"k");
    ASSERT_NE(k, nullptr);
    EXPECT_EQ(k->values.size(), 100000u);
    EXPECT_EQ(k->FindValue(u"v7")->data, (std::vector<BYTE>{7, 0, 0, 0}));
    EXPECT_EQ(k->values[7].name, u"v7");
}

TEST(HiveText, DeletingAValueKeepsTheOthersFindable) {
    Key k;
    for (char16_t c : std::u16string(u"abcde"))
        k.SetValue(std::u16string(1, c), REG_DWORD, {BYTE(c), 0, 0, 0});
    EXPECT_TRUE(k.DeleteValue(u"B"));
    EXPECT_FALSE(k.DeleteValue(u"b"));
    EXPECT_EQ(k.FindValue(u"b"), nullptr);
    ASSERT_NE(k.FindValue(u"E"), nullptr);
    EXPECT_EQ(k.FindValue(u"E")->data[0], BYTE('e'));
    EXPECT_TRUE(k.SetValue(u"B", REG_DWORD, {1, 0, 0, 0}));
    EXPECT_EQ(k.values.back().name, u"B");
}

} // namespace
