#include "pack/zip/registryJoin.h"

#include "util/stringBuffer.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

// The joined text, or "refused N" naming the copy that cannot be joined.
std::string join(mergeRule rule, const std::vector<std::string>& copies) {
    std::vector<const char*> contents;
    std::vector<long> lengths;
    for (const std::string& copy : copies) {
        contents.push_back(copy.data());
        lengths.push_back((long)copy.size());
    }
    stringBuffer joined;
    int refused = joinRegistry(rule, contents.data(), lengths.data(), (int)copies.size(), joined);
    if (refused >= 0) {
        return "refused " + std::to_string(refused);
    }
    return std::string(joined.getData(), joined.getLength());
}

TEST(RegistryJoin, LineListsFollowEachOtherWithALineFeedWhereOneIsMissing) {
    EXPECT_EQ("a.A\nb.B\n", join(joinEntry, {"a.A", "b.B\n"}));
    EXPECT_EQ("a.A\r\nb.B", join(joinEntry, {"a.A\r\n", "b.B"}));
    EXPECT_EQ("# c\nb.B", join(joinEntry, {"", "# c", "b.B"}));
}

// Groovy 2.4's own descriptors: the last line without a line feed.
TEST(RegistryJoin, GroovyModulesJoinNamesAndClassesAndKeepTheFirstVersion) {
    std::string nio = "moduleName=groovy-nio\nmoduleVersion=2.4.21\n"
                      "extensionClasses=org.codehaus.groovy.runtime.NioGroovyMethods\n"
                      "staticExtensionClasses=";
    std::string sql = "moduleName = groovy-sql\nmoduleVersion=2.4.22\n"
                      "extensionClasses: groovy.sql.A, \\\n   groovy.sql.B\n"
                      "staticExtensionClasses=groovy.sql.S\n";
    EXPECT_EQ("moduleName=groovy-nio,groovy-sql\nmoduleVersion=2.4.21\n"
              "extensionClasses=org.codehaus.groovy.runtime.NioGroovyMethods,groovy.sql.A, "
              "groovy.sql.B\n"
              "staticExtensionClasses=groovy.sql.S\n",
              join(groovyModuleEntry, {nio, sql}));
}

TEST(RegistryJoin, FactoriesJoinEveryKeysValuesInTheOrderKeysCame) {
    std::string first = "# comment\n! also a comment\nx.Spi=a.One\n\n  y.Spi = a.Two";
    std::string second = "y.Spi=b.Two\r\nx.Spi=b.One,\\\r\n b.Three\r\nz.Spi\r\n";
    EXPECT_EQ("x.Spi=a.One,b.One,b.Three\ny.Spi=a.Two,b.Two\nz.Spi=\n",
              join(joinValuesEntry, {first, second}));
}

TEST(RegistryJoin, KeysKeepTheirEscapes) {
    EXPECT_EQ("a\\=b=c,d\n", join(joinValuesEntry, {"a\\=b=c", "a\\=b d"}));
    EXPECT_EQ("a\\ b=c\n", join(joinValuesEntry, {"a\\ b   c"}));
    // A comment line's backslash continues nothing.
    EXPECT_EQ("k=v\n", join(joinValuesEntry, {"#x\\\nk=v"}));
}

TEST(RegistryJoin, AppendedPropertiesKeepEveryCopyInOrder) {
    EXPECT_EQ("a=1\na=2\n", join(appendEntry, {"a=1", "a=2\n"}));
    // An even number of backslashes ends the line.
    EXPECT_EQ("a=1\\\\\nb=2", join(appendEntry, {"a=1\\\\", "b=2"}));
}

TEST(RegistryJoin, AppendedPropertiesThatContinueIntoTheNextCopyAreRefused) {
    EXPECT_EQ("refused 1", join(appendEntry, {"a=1\n", "b=2\\", "c=3"}));
    EXPECT_EQ("refused 0", join(appendEntry, {"b=2\\\n", "c=3"}));
    // The last copy runs into nothing.
    EXPECT_EQ("a=1\nb=2\\", join(appendEntry, {"a=1", "b=2\\"}));
}

} // namespace
