#include "pack/options/optionParser.h"
#include "pack/options/optionTable.h"
#include "pack/package/packageFormat.h"

#include <gtest/gtest.h>
#include <set>
#include <string>
#include <vector>

// An option is one row: its name is in no other, and the row has one slot.
TEST(OptionTable, EachOptionIsOneRowWithOneSlot) {
    std::set<std::string> names;
    for (const optionRow& row : optionTable()) {
        EXPECT_TRUE(names.insert(row.name).second) << row.name;
        int slots = (row.flag != nullptr) + (row.value != nullptr) + (row.list != nullptr) +
                    (row.format >= 0);
        EXPECT_EQ(1, slots) << row.name;
        EXPECT_EQ(row.flag == nullptr, row.argument != nullptr) << row.name;
        EXPECT_NE(0u, row.jobs) << row.name;
        EXPECT_TRUE(row.help != nullptr || row.format >= 0 || findOwnOptionHelp(row.name))
            << row.name;
        if (row.needs != nullptr) {
            EXPECT_NE(nullptr, findOption(row.needs)) << row.name;
        }
    }
}

// Each row's option, given alone, fills its own slot and no other.
TEST(OptionTable, TheParserFillsEachRowsSlot) {
    for (const optionRow& row : optionTable()) {
        packOptions options;
        std::vector<const char*> arguments = {"larkwin-pack", row.name, "value"};
        ASSERT_EQ("", parseCommandLine(row.flag != nullptr ? 2 : 3,
                                       const_cast<char**>(arguments.data()), &options));
        for (const optionRow& other : optionTable()) {
            EXPECT_EQ(&other == &row, isGiven(options, other)) << row.name << " " << other.name;
        }
    }
}

// --help: each option once, at the start of its line ("  NAME ..."), in the
// table's order, so that a program may read the options off it.
TEST(OptionTable, HelpListsEveryOptionOnceInOrder) {
    std::string help = createHelpText();
    std::vector<std::string> listed;
    for (size_t at = 0; at < help.size();) {
        size_t end = help.find('\n', at);
        std::string line = help.substr(at, end - at);
        if (line.compare(0, 3, "  -") == 0) {
            listed.push_back(line.substr(2, line.find(' ', 2) - 2));
        }
        at = end == std::string::npos ? help.size() : end + 1;
    }
    std::vector<std::string> rows;
    for (const optionRow& row : optionTable()) {
        rows.push_back(row.name);
    }
    EXPECT_EQ(rows, listed);
    for (const char* place : {"{formats}", "{packages}", "{installed}", "{managers}"}) {
        EXPECT_EQ(std::string::npos, help.find(place)) << place;
    }
}
