package com.larkwin.tests;

import static org.junit.jupiter.api.Assertions.assertFalse;

import com.larkwin.trellion.util.FileAssociation;
import org.junit.jupiter.api.Test;

/** In a plain java process nobody registers the launcher's natives. */
class FileAssociationTest {
    @Test
    void noAssociationIsFoundWithoutTheNatives() {
        assertFalse(FileAssociation.checkAssociation(".txt", "text/plain", "Text", "app %f"),
                "no association without the natives");
    }

    @Test
    void addingReportsThatNothingWasDone() {
        assertFalse(FileAssociation.addAssociation(".txt", null, null, "app %f"),
                "adding reports that nothing was done");
    }
}
