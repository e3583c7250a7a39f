#include "pack/package/desktopEntry.h"
#include "testSupport.h"

#include <gtest/gtest.h>

TEST(desktopEntryTest, windowClassIsTheMainClassWithDashes) {
    ownedString dotted(createWindowClass("org.demo.App"));
    ownedString slashed(createWindowClass("org/demo/App"));
    ownedString plain(createWindowClass("Main"));
    ownedString nested(createWindowClass("org.demo.App$Inner"));
    EXPECT_STREQ("org-demo-App", dotted.get());
    EXPECT_STREQ("org-demo-App", slashed.get());
    EXPECT_STREQ("Main", plain.get());
    EXPECT_STREQ("org-demo-App$Inner", nested.get());
}

TEST(desktopEntryTest, entryHoldsTheKeysGivenOnly) {
    desktopEntry entry = {"myapp",
                          "Edits \\things",
                          "/usr/bin/myapp +SHELL %U",
                          nullptr,
                          "Office;",
                          "org-demo-App",
                          "text/x-my;",
                          1,
                          0};
    ownedString text(createDesktopEntryText(entry));
    EXPECT_STREQ("[Desktop Entry]\nType=Application\nName=myapp\nComment=Edits \\\\things\n"
                 "Exec=/usr/bin/myapp +SHELL %U\nTerminal=false\nCategories=Office;\n"
                 "StartupWMClass=org-demo-App\nMimeType=text/x-my;\nNoDisplay=true\n",
                 text.get());
    desktopEntry bare = {"myapp", "x", "/usr/bin/myapp", "myapp", "Utility;", nullptr, "", 0, 0};
    ownedString bareText(createDesktopEntryText(bare));
    EXPECT_STREQ("[Desktop Entry]\nType=Application\nName=myapp\nComment=x\n"
                 "Exec=/usr/bin/myapp\nIcon=myapp\nTerminal=false\nCategories=Utility;\n",
                 bareText.get());
    bare.terminal = 1;
    ownedString terminalText(createDesktopEntryText(bare));
    EXPECT_NE(nullptr, strstr(terminalText.get(), "\nTerminal=true\n"));
}

TEST(desktopEntryTest, mediaTypesOfFilesThenSchemes) {
    std::vector<std::string> types = {"mydoc,application/x-mydoc,My <doc> & \"more\"",
                                      "txt2,text/x-two,Two"};
    std::vector<std::string> schemes = {"MyApp"};
    ownedString list(createMimeTypeList(types, schemes));
    EXPECT_STREQ("application/x-mydoc;text/x-two;x-scheme-handler/myapp;", list.get());
    ownedString xml(createMimeInfo(types));
    EXPECT_NE(nullptr, strstr(xml.get(), "<mime-type type=\"application/x-mydoc\">\n"
                                         "    <comment>My &lt;doc&gt; &amp; &quot;more&quot;"
                                         "</comment>\n    <glob pattern=\"*.mydoc\"/>\n"));
    EXPECT_NE(nullptr, strstr(xml.get(), "<glob pattern=\"*.txt2\"/>"));
    std::vector<std::string> none;
    ownedString empty(createMimeTypeList(none, none));
    EXPECT_STREQ("", empty.get());
}
