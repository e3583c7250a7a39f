package larkwin.test;

import com.larkwin.trellion.util.FileAssociation;

public class Associate {
    public static void main(String[] args) {
        // U+1F600 travels as a surrogate pair: six bytes of modified UTF-8.
        boolean found = FileAssociation.checkAssociation0(".txt", "text/plain", null,
                "caf\u00e9 \ud83d\ude00");
        System.out.println("check=" + found);
        FileAssociation.addAssociation0(".txt", "text/plain", "Text file", "/usr/bin/edit");
        System.out.println("added");
    }
}
