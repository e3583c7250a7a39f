package com.larkwin.tests;

import com.larkwin.trellion.util.FileAssociation;

/** In a plain java process nobody registers the launcher's natives. */
public final class FileAssociationTest {
    private FileAssociationTest() {}

    public static void main(String[] args) {
        Check.run("check", () -> Check.isTrue(
                !FileAssociation.checkAssociation(".txt", "text/plain", "Text", "app %f"),
                "no association without the natives"));
        Check.run("add", () -> Check.isTrue(
                !FileAssociation.addAssociation(".txt", null, null, "app %f"),
                "adding reports that nothing was done"));
        Check.exit();
    }
}
