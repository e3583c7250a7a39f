#include "launcher/zipComment.h"
#include "testSupport.h"
#include "unix/files.h"

#include <gtest/gtest.h>
#include <string>

// An end-of-central-directory record: the signature, sixteen bytes that the
// scan does not examine, and the comment length.
static std::string endRecord(size_t commentLength) {
    std::string record("PK\x05\x06", 4);
    record += std::string(16, '\x01');
    record += (char)(commentLength & 0xFF);
    record += (char)(commentLength >> 8 & 0xFF);
    return record;
}

static std::string archive(const std::string& comment) {
    return endRecord(comment.size()) + comment;
}

static std::string commentOf(const std::string& file) {
    ownedString comment(getZipComment(const_cast<char*>(file.c_str())));
    return comment ? "[" + std::string(comment.get()) + "]" : "(null)";
}

TEST(ZipComment, ReadsLittleEndianIntegers) {
    unsigned char bytes[] = {0x50, 0x4B, 0x05, 0x06, 0xFF, 0xFF};
    EXPECT_EQ(0x4B50, get2LE(bytes, 0));
    EXPECT_EQ(0xFFFF, get2LE(bytes, 4));
    EXPECT_EQ(0x06054B50, get4LE(bytes, 0));
    EXPECT_EQ(-1, get4LE(bytes, 2) | 0xFFFF);
}

TEST(ZipComment, TooSmallFilesAndMissingFilesFail) {
    scratchDir dir;
    std::string small = dir.write("small", std::string(21, 'x'));
    EXPECT_EQ("Zip file size is unreasonably small", thrownMessage([&] { commentOf(small); }));
    std::string empty = dir.write("empty", "");
    EXPECT_EQ("Zip file size is unreasonably small", thrownMessage([&] { commentOf(empty); }));
    std::string missing = dir.path("missing");
    EXPECT_EQ("Unable to open '" + missing + "'", thrownMessage([&] { commentOf(missing); }));
}

TEST(ZipComment, RecordOfExactly22BytesGivesEmptyStringNotNull) {
    scratchDir dir;
    EXPECT_EQ("[]", commentOf(dir.write("record", endRecord(0))));
    EXPECT_EQ("(null)", commentOf(dir.write("other", std::string(22, 'x'))));
}

TEST(ZipComment, CommentMustRunToTheEndOfTheFile) {
    scratchDir dir;
    std::string data = "PK\x03\x04 entries and central directory ";
    EXPECT_EQ("[mainclass org.demo.App]",
              commentOf(dir.write("app", data + archive("mainclass org.demo.App"))));
    EXPECT_EQ("[]", commentOf(dir.write("bare", data + archive(""))));
    EXPECT_EQ("(null)", commentOf(dir.write("trailing", data + archive("text") + "tail")));
    EXPECT_EQ("(null)", commentOf(dir.write("short", data + endRecord(5) + "text")));
}

TEST(ZipComment, RecordNearerTheEndWins) {
    scratchDir dir;
    std::string inner = archive("inner");
    EXPECT_EQ("[inner]", commentOf(dir.write("two", archive("outer" + inner))));
}

TEST(ZipComment, FalseSignaturesAreSkipped) {
    scratchDir dir;
    // Inside the comment, nearer the end than the real record: one whose
    // length stops short of the end and one whose length runs past it (both
    // lengths free of NUL bytes, so that the comment reads whole).
    std::string comment = "a" + endRecord(0x0101) + "b" + endRecord(60000) + "c";
    std::string file = "data" + endRecord(3) + "more data" + archive(comment);
    EXPECT_EQ("[" + comment + "]", commentOf(dir.write("false", file)));
}

TEST(ZipComment, LongCommentsAreFoundUpToTheLongestAllowed) {
    scratchDir dir;
    std::string data(100000, 'd');
    for (size_t length : {65514, 65515, 65520, 65535}) {
        std::string comment(length, 'c');
        std::string file = dir.write("long", data + archive(comment));
        EXPECT_EQ("[" + comment + "]", commentOf(file)) << length;
    }
}

// The tail is read in parts of 4 KiB overlapping by 21 bytes; these comment
// lengths put the record on, across and beside the first two borders.
TEST(ZipComment, RecordsAcrossTheBordersOfTheReadPartsAreFound) {
    scratchDir dir;
    std::string data(20000, 'd');
    for (size_t first : {4070, 8145}) {
        for (size_t length = first; length <= first + 30; length++) {
            std::string comment(length, 'c');
            std::string file = dir.write("border", data + archive(comment));
            EXPECT_EQ("[" + comment + "]", commentOf(file)) << length;
        }
    }
}

TEST(ZipComment, SignaturesThatDoNotQualifyGiveNull) {
    scratchDir dir;
    std::string executable("\x7f"
                           "ELF",
                           4);
    for (int i = 0; i < 200000; i++) {
        executable += (char)(i * 7919 % 251);
    }
    // Signatures in the data, none qualifying: the longest comment from one
    // byte before the farthest a record can lie from the end falls one short.
    executable.replace(100, 22, endRecord(0));
    executable.replace(200000 - 22 - 65535 - 1, 22, endRecord(65535));
    EXPECT_EQ("(null)", commentOf(dir.write("plain", executable)));
    // The same signature near the start qualifies once the file ends after it.
    EXPECT_EQ("[]", commentOf(dir.write("start", executable.substr(0, 122))));
}

// A sparse file costs no disk: a bundle of 2.2 GB (past both the 31-bit and
// the 32-bit border) whose last bytes are an end record and its comment.
TEST(ZipComment, BundlesOver2GiBAreReadAtTheirEnd) {
    scratchDir dir;
    for (long long size : {2200000000LL, 4294967296LL + 100}) {
        std::string comment = "mainclass Big\n";
        std::string tail = archive(comment);
        std::string file = dir.write("big", "");
        ASSERT_EQ(0, truncate(file.c_str(), (off_t)(size - (long long)tail.size())));
        FILE* out = fopen(file.c_str(), "ab");
        fwrite(tail.data(), 1, tail.size(), out);
        fclose(out);
        EXPECT_EQ(size, getFileSize(&file[0]));
        EXPECT_EQ("[" + comment + "]", commentOf(file)) << size;
    }
}
