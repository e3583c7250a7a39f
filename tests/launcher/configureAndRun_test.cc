#include "launcher/configureAndRun.h"
#include "testSupport.h"
#include "unix/exePath.h"
#include "util/strings.h"
#include "vm/javaVm.h"

#include <gtest/gtest.h>
#include <vector>

namespace {

class recordingVm : public javaVm {
  public:
    void run() override { runs++; }
    int runs = 0;
};

// An executable stand-in plus the default configuration beside it.
class driverTest : public ::testing::Test {
  protected:
    void SetUp() override {
        exe = dir.write("app", "not an archive, just bytes of a program");
        HACKexePath = &exe[0];
        here.reset(new workingDirectory(dir.root));
    }
    void TearDown() override {
        HACKexePath = nullptr;
        debug = gui = shell = 0;
    }

    void launch(std::vector<std::string> arguments) {
        std::vector<char*> argv{&exe[0]};
        for (std::string& argument : arguments) {
            argv.push_back(&argument[0]);
        }
        configureAndRun(&vm, createString(exe.c_str(), ".config"), createStringCopy(exe.c_str()),
                        (int)argv.size(), argv.data());
    }

    std::string launchFailure(std::vector<std::string> arguments) {
        return thrownMessage([&] { launch(arguments); });
    }

    scratchDir dir;
    std::string exe;
    std::unique_ptr<workingDirectory> here;
    recordingVm vm;
};

// A file that ends in a zip end-of-central-directory record carrying text.
std::string withComment(const std::string& body, const std::string& comment) {
    std::string record("PK\x05\x06", 4);
    record += std::string(16, '\0');
    record += (char)(comment.size() & 0xff);
    record += (char)(comment.size() >> 8);
    return body + record + comment;
}

} // namespace

TEST_F(driverTest, SwitchesAreTakenOutAndParametersKeepTheirOrder) {
    dir.write("app.config", "mainclass org.demo.App\n");
    launch({"a", "+DEBUG", "b", "+gui", "+CONFIG=x", "+GUI"});
    EXPECT_EQ("a|b|+gui|+CONFIG=x", joined(vm.params));
    EXPECT_EQ(1, debug);
    EXPECT_EQ(1, gui);
    EXPECT_STREQ("org/demo/App", vm.mainClass);
    EXPECT_EQ(1, vm.runs);
}

TEST_F(driverTest, ExecutableOptionFollowsConfiguredOptions) {
    dir.write("app.config", "vmparam -Xmx64m\n");
    launch({});
    EXPECT_EQ("-Xmx64m|-Dlarkwin.executable.path=" + exe, joined(vm.vmOptions));
}

TEST_F(driverTest, DashJParametersBecomeVmOptionsBeforeTheRun) {
    dir.write("app.config", "");
    launch({"-J-Xss1m", "file"});
    EXPECT_EQ("-Dlarkwin.executable.path=" + exe + "|-Xss1m", joined(vm.vmOptions));
    EXPECT_EQ("file", joined(vm.params));
}

TEST_F(driverTest, ConfigAsLastArgumentFailsBeforeAnyParse) {
    dir.write("app.config", "mainclass A\n");
    EXPECT_EQ("+CONFIG must be followed by a path", launchFailure({"x", "+CONFIG"}));
    EXPECT_EQ(nullptr, vm.mainClass);
    EXPECT_EQ(0, vm.runs);
}

TEST_F(driverTest, ConfigConsumesTheNextArgumentWhateverItIs) {
    dir.write("+DEBUG", "mainclass FromSwitchFile\n");
    launch({"+CONFIG", "+DEBUG"});
    EXPECT_EQ(0, debug);
    EXPECT_STREQ("FromSwitchFile", vm.mainClass);
}

TEST_F(driverTest, LastConfigWinsButEveryNamedFileMustBeReadable) {
    dir.write("one.config", "mainclass One\n");
    dir.write("two.config", "mainclass Two\n");
    launch({"+CONFIG", "one.config", "+CONFIG", "two.config"});
    EXPECT_STREQ("Two", vm.mainClass);
    EXPECT_EQ("Unable to open '" + dir.path("missing.config") + "'",
              launchFailure({"+CONFIG", "missing.config", "+CONFIG", "two.config"}));
}

TEST_F(driverTest, EmbeddedCommentConfiguresAndJoinsTheClassPath) {
    dir.write("app", withComment("program", "mainclass Embedded"));
    dir.write("app.config", "mainclass Default\n");
    launch({});
    EXPECT_STREQ("Embedded", vm.mainClass);
    EXPECT_EQ(exe, joined(vm.classPath));
}

TEST_F(driverTest, EmptyCommentIsAnEmptyConfiguration) {
    dir.write("app", withComment("program", ""));
    dir.write("app.config", "mainclass Default\n");
    launch({});
    EXPECT_EQ(nullptr, vm.mainClass);
    EXPECT_EQ(exe, joined(vm.classPath));
}

TEST_F(driverTest, ConfigSwitchBypassesTheEmbeddedComment) {
    dir.write("app", withComment("program", "mainclass Embedded"));
    dir.write("chosen.config", "mainclass Chosen\n");
    launch({"+CONFIG", "chosen.config"});
    EXPECT_STREQ("Chosen", vm.mainClass);
    EXPECT_EQ("", joined(vm.classPath));
}

TEST_F(driverTest, MissingDefaultConfigurationIsReported) {
    EXPECT_EQ("Unable to open '" + exe + ".config'", launchFailure({}));
}

TEST_F(driverTest, ShellWithoutParametersSendsAndLaunchesNothing) {
    dir.write("app.config", "socket 1\n");
    launch({"+SHELL"});
    EXPECT_EQ(0, vm.runs);
}

TEST_F(driverTest, ShellWithoutListenerLaunchesLocallyWithAllParameters) {
    // Port 1 on the loopback address: nothing listens there.
    dir.write("app.config", "socket 1\n");
    launch({"+SHELL", "x", "y"});
    EXPECT_EQ(1, vm.runs);
    EXPECT_EQ(0, shell);
    EXPECT_EQ("x|y", joined(vm.params));
}

// The configuration's own first parameters are not the user's to hand over:
// with none of the user's, there is nothing to send and nothing is launched,
// as without them.
TEST_F(driverTest, ShellWithOnlyFirstParamsSendsAndLaunchesNothing) {
    dir.write("app.config", "socket 1\nfirstparam --fixed\n");
    launch({"+SHELL"});
    EXPECT_EQ(0, vm.runs);
}

TEST_F(driverTest, FirstParamsLeadTheCommandLineAndExpandedOptionsNameTheExecutable) {
    dir.write("app.config", "expand\nfirstparam --first\nvmparam -Dapp.home=${exe.dir}\n");
    launch({"user"});
    EXPECT_EQ(1, vm.runs);
    EXPECT_EQ("--first|user", joined(vm.params));
    EXPECT_EQ("-Dapp.home=" + dir.root + "|-Dlarkwin.executable.path=" + exe, joined(vm.vmOptions));
}
