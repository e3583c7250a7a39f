#include "cache/cacheRecord.h"
#include "testSupport.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// An archive of 64 KiB with its record, as the assembly leaves them.
struct recordedArchive {
    explicit recordedArchive(const scratchDir& dir) {
        std::string content;
        for (int i = 0; i < 65536; i++) {
            content.push_back((char)(i * 7 + i / 256));
        }
        archive = dir.write("A-0123456789abcdef-0123456789abcdef.jsa", content);
        record = archive + ".info";
        chmod(archive.c_str(), 0400);
        cacheRecord made;
        int ok;
        made.checksum = computeFileChecksum(archive.c_str(), &ok);
        made.takeFileState(archive.c_str());
        made.set(made.executable, "/opt/app/bin/app");
        made.set(made.mainClass, "org/demo/App");
        made.set(made.runtimeHome, "/usr/lib/jvm/x");
        made.set(made.runtimeVersion, "17.0.15+6");
        EXPECT_TRUE(ok && made.write(record.c_str()));
    }
    archiveState state() const {
        cacheRecord read;
        return checkArchive(archive.c_str(), record.c_str(), read);
    }
    void overwrite(off_t at, const std::string& bytes) const {
        chmod(archive.c_str(), 0600);
        int fd = open(archive.c_str(), O_WRONLY);
        EXPECT_EQ((ssize_t)bytes.size(), pwrite(fd, bytes.data(), bytes.size(), at));
        close(fd);
        chmod(archive.c_str(), 0400);
    }
    std::string archive;
    std::string record;
};
} // namespace

TEST(CacheRecord, ReadsBackWhatWasWritten) {
    scratchDir dir;
    recordedArchive made(dir);
    cacheRecord read;
    ASSERT_TRUE(read.read(made.record.c_str()));
    EXPECT_EQ(65536u, read.size);
    EXPECT_STREQ("/opt/app/bin/app", read.executable);
    EXPECT_STREQ("org/demo/App", read.mainClass);
    EXPECT_STREQ("17.0.15+6", read.runtimeVersion);
    EXPECT_EQ(archiveSound, made.state());
}

TEST(CacheRecord, OneOthersMayWriteOrCutShortIsNotRead) {
    scratchDir dir;
    recordedArchive made(dir);
    cacheRecord read;
    chmod(made.record.c_str(), 0666);
    EXPECT_FALSE(read.read(made.record.c_str()));
    EXPECT_EQ(archiveDamaged, made.state());
    chmod(made.record.c_str(), 0600);
    truncate(made.record.c_str(), 40);
    EXPECT_FALSE(read.read(made.record.c_str()));
    unlink(made.record.c_str());
    EXPECT_EQ(archiveDamaged, made.state()) << "an archive without its record";
}

TEST(CacheRecord, DamageIsFoundBeforeTheArchiveIsMapped) {
    scratchDir dir;
    recordedArchive made(dir);
    made.overwrite(20000, std::string(4096, '\0'));
    EXPECT_EQ(archiveDamaged, made.state()) << "zeros inside";

    recordedArchive flipped(dir);
    flipped.overwrite(65535, "\x01");
    EXPECT_EQ(archiveDamaged, flipped.state()) << "the last byte";

    recordedArchive cut(dir);
    chmod(cut.archive.c_str(), 0600);
    truncate(cut.archive.c_str(), 65536 * 3 / 4);
    chmod(cut.archive.c_str(), 0400);
    EXPECT_EQ(archiveDamaged, cut.state());

    chmod(cut.archive.c_str(), 0666);
    EXPECT_EQ(archiveDamaged, cut.state()) << "others may write it";
}

TEST(CacheRecord, AChangeThatKeepsTheContentIsCheckedOnceAndNoted) {
    scratchDir dir;
    recordedArchive made(dir);
    chmod(made.archive.c_str(), 0444);
    cacheRecord before;
    before.read(made.record.c_str());
    EXPECT_EQ(archiveSound, made.state()) << "same checksum";
    cacheRecord after;
    after.read(made.record.c_str());
    EXPECT_TRUE(before.changeNanoseconds != after.changeNanoseconds ||
                before.changeSeconds != after.changeSeconds)
        << "the new change time is noted";
    made.overwrite(0, std::string(1, '\0'));
    EXPECT_EQ(archiveSound, made.state()) << "the same byte written again";
}

TEST(CacheRecord, AMissingOrLinkedArchive) {
    scratchDir dir;
    recordedArchive made(dir);
    std::string link = dir.path("link.jsa");
    symlink(made.archive.c_str(), link.c_str());
    cacheRecord read;
    EXPECT_EQ(archiveDamaged, checkArchive(link.c_str(), made.record.c_str(), read));
    EXPECT_EQ(archiveMissing,
              checkArchive(dir.path("none.jsa").c_str(), made.record.c_str(), read));
}

TEST(CacheRecord, TheChecksumSeesEveryByteAndTheLength) {
    scratchDir dir;
    std::string a = dir.write("a", std::string(100, 'x'));
    std::string b = dir.write("b", std::string(100, 'x') + std::string(1, '\0'));
    std::string c = dir.write("c", std::string(99, 'x') + "y");
    int ok;
    unsigned long long sumA = computeFileChecksum(a.c_str(), &ok);
    EXPECT_TRUE(ok);
    EXPECT_NE(sumA, computeFileChecksum(b.c_str(), &ok));
    EXPECT_NE(sumA, computeFileChecksum(c.c_str(), &ok));
    computeFileChecksum(dir.path("missing").c_str(), &ok);
    EXPECT_FALSE(ok);
}
