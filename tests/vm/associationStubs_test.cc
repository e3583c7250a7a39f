#include "processSupport.h"
#include "unix/exePath.h"
#include "vm/associationStubs.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {
// A Java string as the fake VM below hands it out.
struct fakeString {
    const char* utf;
    jboolean copied;
};

std::vector<std::string> released;

const char* JNICALL getUtf(JNIEnv*, jstring string, jboolean* isCopy) {
    fakeString* fake = reinterpret_cast<fakeString*>(string);
    if (isCopy != nullptr) {
        *isCopy = fake->copied;
    }
    return fake->utf;
}

void JNICALL releaseUtf(JNIEnv*, jstring string, const char* chars) {
    bool same = reinterpret_cast<fakeString*>(string)->utf == chars;
    released.push_back(same ? chars : "mismatched");
}

// Only the two string functions of the interface are there.
struct fakeEnv {
    fakeEnv() : table() {
        table.GetStringUTFChars = getUtf;
        table.ReleaseStringUTFChars = releaseUtf;
        env.functions = &table;
        released.clear();
    }
    JNINativeInterface_ table;
    JNIEnv env;
};

jstring javaString(fakeString& fake) {
    return reinterpret_cast<jstring>(&fake);
}
} // namespace

TEST(AssociationStubs, CheckTracesOneLineUnderDebugAndAnswersNo) {
    scratchDir dir;
    fakeEnv vm;
    fakeString a = {".txt", JNI_TRUE}, b = {"text/plain", JNI_FALSE}, d = {"/usr/bin/ed", JNI_TRUE};
    debug = 1;
    capturedOutput output(dir);
    jboolean found = checkAssociation_stub(&vm.env, nullptr, javaString(a), javaString(b), nullptr,
                                           javaString(d));
    debug = 0;
    EXPECT_EQ(JNI_FALSE, found);
    EXPECT_EQ("checkAssociation(.txt, text/plain, (null), /usr/bin/ed)\n", output.text());
    // Every string converted is handed back, copy or not; the null one is not.
    EXPECT_EQ((std::vector<std::string>{".txt", "text/plain", "/usr/bin/ed"}),
              std::vector<std::string>(released.rbegin(), released.rend()));
}

TEST(AssociationStubs, NothingIsWrittenWithoutDebug) {
    scratchDir dir;
    fakeEnv vm;
    fakeString a = {"a", JNI_TRUE};
    capturedOutput output(dir);
    EXPECT_EQ(JNI_FALSE,
              checkAssociation_stub(&vm.env, nullptr, javaString(a), nullptr, nullptr, nullptr));
    addAssociation_stub(&vm.env, nullptr, nullptr, nullptr, nullptr, javaString(a));
    EXPECT_EQ("", output.text());
}
