// The host's one UTF-8 reader: what counts as a sequence, and what may be shown on a terminal.
#include "host/utf.h"

#include <gtest/gtest.h>

namespace {

TEST(Utf8Length, ValidSequencesHaveTheirLengthAndEverythingElseNone) {
    EXPECT_EQ(host::Utf8SequenceLength("a", 0), 1u);
    EXPECT_EQ(host::Utf8SequenceLength("\xC3\xA9", 0), 2u);
    EXPECT_EQ(host::Utf8SequenceLength("\xE2\x82\xAC", 0), 3u);
    EXPECT_EQ(host::Utf8SequenceLength("\xF0\x9D\x84\x9E", 0), 4u);
    EXPECT_EQ(host::Utf8SequenceLength("\xE9", 0), 0u) << "a lone Latin-1 byte";
    EXPECT_EQ(host::Utf8SequenceLength("\xC0\xAF", 0), 0u) << "overlong";
    EXPECT_EQ(host::Utf8SequenceLength("\xED\xA0\x80", 0), 0u) << "a surrogate";
    EXPECT_EQ(host::Utf8SequenceLength("\xF4\x90\x80\x80", 0), 0u) << "past U+10FFFF";
    EXPECT_EQ(host::Utf8SequenceLength("\xE2\x82", 0), 0u) << "cut short";
    EXPECT_EQ(host::Utf8SequenceLength("ab", 2), 0u) << "past the end";
}

TEST(Utf8Length, ControlCharactersAreNotPrintable) {
    EXPECT_EQ(host::PrintableUtf8Length("\x1B[", 0), 0u);
    EXPECT_EQ(host::PrintableUtf8Length("\x7F", 0), 0u);
    EXPECT_EQ(host::PrintableUtf8Length("\xC2\x9B", 0), 0u) << "C1 CSI";
    EXPECT_EQ(host::PrintableUtf8Length("\xC2\xA0", 0), 2u) << "no-break space is text";
    EXPECT_EQ(host::PrintableUtf8Length("x\xC3\xA9", 1), 2u);
}

} // namespace
