#include "testSupport.h"
#include "unix/othersWritable.h"
#include "unix/privateGroup.h"

#include <grp.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// The gid of a group of Debian's base system, or -1.
long gidOf(const char* name) {
    struct group* group = getgrnam(name);
    return group != nullptr ? (long)group->gr_gid : -1;
}

struct groupCase {
    const char* owner;
    const char* group;
    // 1 when a write permission of the group lets only the owner write.
    int isPrivate;
};
} // namespace

// root's group has root alone; "users" has no members; "nogroup" is the
// primary group of nobody and of _apt.
const groupCase groupCases[] = {
    {"root", "root", 1},
    {"root", "users", 0},
    {"root", "nogroup", 0},
    {"nobody", "nogroup", 0},
};

TEST(PrivateGroup, OnlyAGroupWhoseOneMemberIsTheOwnerIsPrivate) {
    for (const groupCase& row : groupCases) {
        struct passwd* user = getpwnam(row.owner);
        long gid = gidOf(row.group);
        if (user == nullptr || gid < 0) {
            GTEST_SKIP() << "needs the user " << row.owner << " and the group " << row.group;
        }
        EXPECT_EQ(row.isPrivate, isPrivateGroupOf((unsigned)gid, user->pw_uid))
            << row.owner << ":" << row.group;
    }
    EXPECT_EQ(0, isPrivateGroupOf(4000000000u, 0)) << "a group that cannot be looked up";
}

// A site file root:GROUP 0664 lets the group's members change what root
// runs, unless the group is root's own.
TEST(PrivateGroup, GroupWritableSettingsAreRefusedUnlessTheGroupIsTheOwners) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "needs root to give a file to another group";
    }
    for (const groupCase& row : groupCases) {
        struct passwd* user = getpwnam(row.owner);
        long gid = gidOf(row.group);
        if (user == nullptr || gid < 0) {
            GTEST_SKIP() << "needs the user " << row.owner << " and the group " << row.group;
        }
        scratchDir dir;
        std::string file = dir.write("site.config", "");
        std::string folder = dir.mkdir("conf.d");
        std::string inside = dir.write("conf.d/app.config", "");
        for (const std::string& path : {file, folder}) {
            ASSERT_EQ(0, chown(path.c_str(), user->pw_uid, (gid_t)gid));
        }
        chmod(file.c_str(), 0664);
        chmod(folder.c_str(), 0775);
        auto expected = [&](const std::string& path, const char* why) {
            return row.isPrivate ? std::string() : "Refusing '" + path + "': " + why;
        };
        const char* writable = "other users may write to it";
        EXPECT_EQ(expected(file, writable),
                  thrownMessage([&] { refuseFileOthersMayChange(file.c_str()); }))
            << row.owner << ":" << row.group;
        EXPECT_EQ(expected(folder, writable),
                  thrownMessage([&] { refuseDirectoryOthersMayChange(folder.c_str()); }))
            << row.owner << ":" << row.group;
        EXPECT_EQ(expected(inside, "other users may write to its directory"),
                  thrownMessage([&] { refuseFileOthersMayChange(inside.c_str()); }))
            << row.owner << ":" << row.group;
    }
}
