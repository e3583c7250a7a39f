#include "testSupport.h"
#include "util/stringArray.h"
#include "util/strings.h"

#include <gtest/gtest.h>

static int neverCalled(const char*, const char*) {
    ADD_FAILURE() << "comparison called on an empty array";
    return 0;
}

static void fill(stringArray& array, std::initializer_list<const char*> items) {
    for (const char* item : items) {
        array.append(createStringCopy(item));
    }
}

TEST(StringArray, NewArrayIsEmptyAndFindsNothing) {
    stringArray array;
    EXPECT_EQ(0, array.size());
    EXPECT_EQ(-1, array.find("x", neverCalled));
}

TEST(StringArray, StoresTheAppendedPointerItself) {
    stringArray array;
    char* s = createStringCopy("a");
    array.append(s);
    EXPECT_EQ(s, array[0]);
}

TEST(StringArray, RemovesAtEveryPositionAndClosesTheGap) {
    stringArray middle, first, last;
    fill(middle, {"a", "b", "c"});
    fill(first, {"a", "b", "c"});
    fill(last, {"a", "b", "c"});
    middle.remove(1);
    first.remove(0);
    last.remove(2);
    EXPECT_EQ("a|c", joined(middle));
    EXPECT_EQ("b|c", joined(first));
    EXPECT_EQ("a|b", joined(last));
}

TEST(StringArray, RemovingTheOnlyElementLeavesAReusableEmptyArray) {
    stringArray array;
    fill(array, {"only"});
    array.remove(0);
    EXPECT_EQ(0, array.size());
    fill(array, {"again"});
    EXPECT_EQ("again", joined(array));
}

TEST(StringArray, OutOfBoundsPositionsThrowAndChangeNothing) {
    stringArray array;
    fill(array, {"a", "b"});
    EXPECT_EQ("stringArray.remove: Array index out of bounds.",
              thrownMessage([&] { array.remove(-1); }));
    EXPECT_EQ("stringArray.remove: Array index out of bounds.",
              thrownMessage([&] { array.remove(2); }));
    EXPECT_EQ("stringArray[]: Array index out of bounds.", thrownMessage([&] { array[-1]; }));
    EXPECT_EQ("stringArray[]: Array index out of bounds.", thrownMessage([&] { array[2]; }));
    EXPECT_EQ("a|b", joined(array));
}

TEST(StringArray, InsertsAtEveryPositionIncludingTheEnd) {
    stringArray array;
    array.insert(0, createStringCopy("b"));
    array.insert(0, createStringCopy("a"));
    array.insert(2, createStringCopy("d"));
    array.insert(2, createStringCopy("c"));
    EXPECT_EQ("a|b|c|d", joined(array));
}

TEST(StringArray, InsertingOutOfBoundsThrowsReleasesTheStringAndChangesNothing) {
    stringArray array;
    fill(array, {"a"});
    EXPECT_EQ("stringArray.insert: Array index out of bounds.",
              thrownMessage([&] { array.insert(2, createStringCopy("x")); }));
    EXPECT_EQ("stringArray.insert: Array index out of bounds.",
              thrownMessage([&] { array.insert(-1, createStringCopy("x")); }));
    EXPECT_EQ("a", joined(array));
}

TEST(StringArray, FindReturnsTheLowestMatchingPosition) {
    stringArray array;
    fill(array, {"x", "Y", "y"});
    EXPECT_EQ(1, array.find("y", strcasecmp));
    EXPECT_EQ(2, array.find("y", strcmp));
    EXPECT_EQ(-1, array.find("z", strcmp));
}

TEST(StringArray, DestroysAnArrayHoldingANullElement) {
    stringArray array;
    fill(array, {"a"});
    array.append(nullptr);
    fill(array, {"b"});
    EXPECT_EQ(3, array.size());
}
