#include "cache/cacheRecord.h"
#include "cache/shippedArchive.h"
#include "processSupport.h"
#include "testSupport.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// IMAGE/lib/startupcache/A-<key>.jsa with its record, as a training run
// leaves them, and the user's cache beside the image.
struct shippedImage {
    explicit shippedImage(const scratchDir& dir) {
        dir.mkdir("image");
        dir.mkdir("image/lib");
        dir.mkdir("image/lib/startupcache");
        dir.mkdir("cache");
        std::string content;
        for (int i = 0; i < 65536; i++) {
            content.push_back((char)(i * 13 + i / 256));
        }
        archive = dir.write("image/lib/startupcache/A-0123456789abcdef.jsa", content);
        seen = dir.path("cache/A-fedcba9876543210-0123456789abcdef.jsa.shipped");
        cacheRecord made;
        int ok;
        made.checksum = computeFileChecksum(archive.c_str(), &ok);
        made.takeFileState(archive.c_str());
        EXPECT_TRUE(ok && made.write((archive + ".info").c_str()));
        chmod(archive.c_str(), 0444);
        chmod((archive + ".info").c_str(), 0644);
    }
    shippedState state() const { return checkShippedArchive(archive.c_str(), seen.c_str()); }
    void overwrite(off_t at, const std::string& bytes) const {
        chmod(archive.c_str(), 0644);
        int fd = open(archive.c_str(), O_WRONLY);
        EXPECT_EQ((ssize_t)bytes.size(), pwrite(fd, bytes.data(), bytes.size(), at));
        close(fd);
        chmod(archive.c_str(), 0444);
    }
    std::string archive;
    std::string seen;
};
} // namespace

TEST(ShippedArchive, SoundOnceCheckedAndNotedForTheUser) {
    scratchDir dir;
    shippedImage image(dir);
    EXPECT_EQ(shippedSound, image.state());
    cacheRecord seen;
    ASSERT_TRUE(seen.read(image.seen.c_str())) << "the checksum found is kept for the user";
    EXPECT_EQ(shippedSound, image.state());
    EXPECT_EQ(shippedMissing, checkShippedArchive(dir.path("image/lib/startupcache/B.jsa").c_str(),
                                                  image.seen.c_str()));
}

// Zeros of the same length change no size: the checksum tells them, also
// after a first start noted the archive as sound.
TEST(ShippedArchive, DamageIsFoundBeforeMappingAndStaysFound) {
    scratchDir dir;
    shippedImage image(dir);
    ASSERT_EQ(shippedSound, image.state());
    image.overwrite(4096, std::string(8192, '\0'));
    EXPECT_EQ(shippedDamaged, image.state());
    EXPECT_EQ(shippedDamaged, image.state()) << "noted, and still refused";
    scratchDir other;
    shippedImage cut(other);
    ASSERT_EQ(0, truncate(cut.archive.c_str(), 49152));
    EXPECT_EQ(shippedDamaged, cut.state());
}

TEST(ShippedArchive, ACrashRefusesItUntilItChanges) {
    scratchDir dir;
    shippedImage image(dir);
    ASSERT_EQ(shippedSound, image.state());
    refuseShippedArchive(image.archive.c_str(), image.seen.c_str());
    EXPECT_EQ(shippedRefused, image.state());
    // A new archive of the same name (the image reinstalled) is checked anew.
    std::string content(65536, 'x');
    unlink(image.archive.c_str());
    dir.write("image/lib/startupcache/A-0123456789abcdef.jsa", content);
    cacheRecord made;
    int ok;
    made.checksum = computeFileChecksum(image.archive.c_str(), &ok);
    made.takeFileState(image.archive.c_str());
    ASSERT_TRUE(made.write((image.archive + ".info").c_str()));
    chmod(image.archive.c_str(), 0444);
    EXPECT_EQ(shippedSound, image.state());
}

TEST(ShippedArchive, WhatOthersMayWriteIsNotUsed) {
    scratchDir dir;
    shippedImage image(dir);
    chmod(image.archive.c_str(), 0664);
    EXPECT_EQ(shippedUnsafe, image.state());
    chmod(image.archive.c_str(), 0444);
    chmod(dir.path("image/lib").c_str(), 0777);
    EXPECT_EQ(shippedUnsafe, image.state()) << "others could put another directory there";
    chmod(dir.path("image/lib").c_str(), 0755);
    chmod((image.archive + ".info").c_str(), 0666);
    EXPECT_EQ(shippedUnsafe, image.state());
    chmod((image.archive + ".info").c_str(), 0644);
    unlink((image.archive + ".info").c_str());
    EXPECT_EQ(shippedUnsafe, image.state()) << "no record, nothing to check it by";
}

TEST(ShippedArchive, MovesWithTheImageFromJdk25) {
    EXPECT_FALSE(isMovableArchive(17));
    EXPECT_FALSE(isMovableArchive(21));
    EXPECT_TRUE(isMovableArchive(25));
}

// Where the user's cache takes no new file, a crash on the image's archive
// is noted over the user's record; with no record there, nothing could be
// noted, so the archive is not used (and not checksummed). As nobody when
// run as root, whom no mode stops.
TEST(ShippedArchive, WithoutAPlaceToNoteACrashItIsNotUsed) {
    scratchDir dir;
    shippedImage image(dir);
    std::string cache = dir.path("cache");
    chmod(dir.root.c_str(), 0755);
    processResult result = runForked(dir, [&] {
        if (geteuid() == 0 &&
            (chown(cache.c_str(), 65534, 65534) != 0 || setgid(65534) != 0 || setuid(65534) != 0)) {
            return 99;
        }
        shippedState noted = image.state();
        chmod(cache.c_str(), 0500);
        shippedState closed = image.state();
        int kept = refuseShippedArchive(image.archive.c_str(), image.seen.c_str());
        shippedState crashed = image.state();
        chmod(cache.c_str(), 0700);
        unlink(image.seen.c_str());
        chmod(cache.c_str(), 0500);
        shippedState unnoted = image.state();
        // One bit for each step that went as it should.
        return (noted == shippedSound) + 2 * (closed == shippedSound) + 4 * kept +
               8 * (crashed == shippedRefused) + 16 * (unnoted == shippedUnnoted);
    });
    EXPECT_EQ(31, result.status) << result.err;
}
