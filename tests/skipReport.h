#ifndef LARKWIN_TESTS_SKIPREPORT_H
#define LARKWIN_TESTS_SKIPREPORT_H

// Says each skip of a GoogleTest case as the Python tests say theirs, one
// line "SKIPPED: <Suite.Case>: <reason>" on standard output, so that one
// grep of CTest's log lists every skip of both kinds with its reason.

#include <cstdio>
#include <gtest/gtest.h>
#include <string>

// The line for a skip of the case named name: the reason on one line.
inline std::string createSkipLine(const std::string& name, const std::string& message) {
    std::string reason = message.empty() ? "no reason given" : message;
    for (char& c : reason) {
        if (c == '\n' || c == '\r') {
            c = ' ';
        }
    }
    return "SKIPPED: " + name + ": " + reason + "\n";
}

// GoogleTest calls OnTestPartResult holding a lock that current_test_info
// would take again: the case's name is kept from its start.
class skipReport : public ::testing::EmptyTestEventListener {
  public:
    void OnTestStart(const ::testing::TestInfo& test) override {
        name = std::string(test.test_suite_name()) + "." + test.name();
    }
    void OnTestEnd(const ::testing::TestInfo&) override { name = "(outside a case)"; }
    void OnTestPartResult(const ::testing::TestPartResult& result) override {
        if (result.skipped()) {
            fputs(createSkipLine(name, result.message()).c_str(), stdout);
            fflush(stdout);
        }
    }

  private:
    std::string name = "(outside a case)";
};

#endif
