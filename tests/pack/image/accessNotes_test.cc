#include "pack/image/accessNotes.h"
#include "processSupport.h"
#include "testSupport.h"

#include <gtest/gtest.h>
#include <string>
#include <unistd.h>

namespace {

const char* const jdk17 = "/usr/lib/jvm/java-17-openjdk-amd64";

// Only the two lines' entries that the runtime lacks are named; other lines
// that hold the words are not read as them.
TEST(AccessNotes, NameWhatTheLauncherWillLeaveOut) {
    if (access((std::string(jdk17) + "/lib/modules").c_str(), R_OK) != 0) {
        GTEST_SKIP() << jdk17 << " is not installed";
    }
    scratchDir dir;
    std::string notes;
    {
        capturedOutput errors(dir, 2);
        noteAbsentAccess("mainclass a.B\n"
                         "addopens java.base/java.lang java.base/no.such\n"
                         "vmparam -Daddexports=jdk.deploy/x\n"
                         "addexports jdk.deploy/com.sun.deploy.config java.base/sun.nio.ch",
                         jdk17);
        notes = errors.text();
    }
    EXPECT_EQ("larkwin-pack: addopens java.base/no.such is left out at every start: the module "
              "has no such package\n"
              "larkwin-pack: addexports jdk.deploy/com.sun.deploy.config is left out at every "
              "start: the runtime has no such module\n",
              notes);
}

} // namespace
