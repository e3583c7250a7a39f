#include "config/configTestSupport.h"
#include "replacedEnvironment.h"
#include "unix/environment.h"

#include <gtest/gtest.h>

TEST(Environment, NamesAreTheTextBeforeTheFirstEqualsSignInOrder) {
    stringArray names;
    names.append(copyOf("kept"));
    {
        replacedEnvironment env({"B=1", "A=b=c", "NOEQUALS", "=nameless", "EMPTY="});
        addEnvironmentNames(&names);
    }
    EXPECT_EQ("kept|B|A|NOEQUALS||EMPTY", joined(names));
}

TEST(Environment, AnEmptyOrMissingEnvironmentHasNoNames) {
    stringArray names;
    {
        replacedEnvironment empty({});
        addEnvironmentNames(&names);
    }
    {
        replacedEnvironment cleared({}, true);
        addEnvironmentNames(&names);
    }
    EXPECT_EQ(0, names.size());
}
