#include "pack/zip/mergeRules.h"

#include <cstring>
#include <gtest/gtest.h>

static mergeRule ruleOf(const char* name, int fromDependency) {
    return getMergeRule(name, (int)strlen(name), fromDependency);
}

TEST(MergeRules, ServiceFilesAreJoinedFromEveryJar) {
    EXPECT_EQ(joinEntry, ruleOf("META-INF/services/org.demo.Spi", 0));
    EXPECT_EQ(joinEntry, ruleOf("META-INF/services/org.demo.Spi", 1));
    // The directory itself, deeper files and other cases are plain entries.
    EXPECT_EQ(copyEntry, ruleOf("META-INF/services/", 1));
    EXPECT_EQ(copyEntry, ruleOf("META-INF/services/sub/org.demo.Spi", 1));
    EXPECT_EQ(copyEntry, ruleOf("meta-inf/services/org.demo.Spi", 1));
}

TEST(MergeRules, DependencySignatureFilesAreDroppedInAnyCase) {
    for (const char* name : {"META-INF/SIGNER.SF", "META-INF/SIGNER.RSA", "META-INF/SIGNER.DSA",
                             "META-INF/SIGNER.EC", "META-INF/signer.sf", "meta-inf/Signer.Rsa"}) {
        EXPECT_EQ(dropEntry, ruleOf(name, 1)) << name;
        EXPECT_EQ(copyEntry, ruleOf(name, 0)) << name;
    }
    // Only files directly in META-INF sign the jar.
    EXPECT_EQ(copyEntry, ruleOf("META-INF/keys/SIGNER.RSA", 1));
    EXPECT_EQ(copyEntry, ruleOf("org/demo/Key.EC", 1));
    EXPECT_EQ(copyEntry, ruleOf("META-INF/SIGNER.ECX", 1));
}

TEST(MergeRules, DependencyManifestAndModuleDescriptorsAreDropped) {
    for (const char* name : {"META-INF/MANIFEST.MF", "META-INF/manifest.mf", "module-info.class",
                             "META-INF/versions/11/module-info.class"}) {
        EXPECT_EQ(dropEntry, ruleOf(name, 1)) << name;
        EXPECT_EQ(copyEntry, ruleOf(name, 0)) << name;
    }
    for (const char* name : {"org/demo/module-info.class", "META-INF/versions/module-info.class",
                             "META-INF/versions/11/x/module-info.class", "META-INF/MANIFEST.MF2",
                             "Xmodule-info.class"}) {
        EXPECT_EQ(copyEntry, ruleOf(name, 1)) << name;
    }
}

TEST(MergeRules, NameLengthBoundsTheName) {
    // The name is not terminated: only its length counts.
    EXPECT_EQ(dropEntry, getMergeRule("module-info.classes", 17, 1));
    EXPECT_EQ(copyEntry, getMergeRule("META-INF/services/", 18, 1));
    EXPECT_EQ(copyEntry, getMergeRule("", 0, 1));
}

TEST(MergeRules, RegistriesAreJoinedByTheirKindFromEveryJar) {
    for (int fromDependency : {0, 1}) {
        EXPECT_EQ(groovyModuleEntry,
                  ruleOf("META-INF/services/org.codehaus.groovy.runtime.ExtensionModule",
                         fromDependency));
        EXPECT_EQ(
            groovyModuleEntry,
            ruleOf("META-INF/groovy/org.codehaus.groovy.runtime.ExtensionModule", fromDependency));
        EXPECT_EQ(joinValuesEntry, ruleOf("META-INF/spring.factories", fromDependency));
        EXPECT_EQ(appendEntry, ruleOf("META-INF/spring.handlers", fromDependency));
        EXPECT_EQ(appendEntry, ruleOf("META-INF/spring.schemas", fromDependency));
        EXPECT_EQ(joinEntry, ruleOf("META-INF/spring/org.springframework.boot.autoconfigure."
                                    "AutoConfiguration.imports",
                                    fromDependency));
        EXPECT_EQ(dropEntry, ruleOf("META-INF/INDEX.LIST", fromDependency));
    }
    EXPECT_EQ(copyEntry, ruleOf("META-INF/spring/sub/x.imports", 1));
    EXPECT_EQ(copyEntry, ruleOf("META-INF/spring.factories.bak", 1));
}

TEST(MergeRules, LicencesAndNoticesAtTheRootOrInMetaInfAreKept) {
    for (const char* name : {"LICENSE", "META-INF/LICENSE.txt", "META-INF/licence.md",
                             "META-INF/NOTICE", "NOTICE.txt", "META-INF/COPYING"}) {
        EXPECT_EQ(noticeEntry, ruleOf(name, 1)) << name;
    }
    for (const char* name :
         {"META-INF/LICENSE/", "org/LICENSE", "META-INF/maven/LICENSE", "LICENSES/"}) {
        EXPECT_EQ(copyEntry, ruleOf(name, 1)) << name;
    }
}

TEST(MergeRules, SignatureFilesIncludeSigPrefixedOnes) {
    EXPECT_EQ(dropEntry, ruleOf("META-INF/SIG-SIGNER", 1));
    EXPECT_TRUE(isSignatureFile("META-INF/sig-x", 14));
    // Shorter than the prefix: only the bytes of the name are read.
    EXPECT_FALSE(isSignatureFile("META-INF/SIGXXX", 12));
}
