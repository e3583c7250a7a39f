package com.larkwin.trellion.util;

public class FileAssociation {
    public static native boolean checkAssociation0(String a, String b, String c, String d);

    public static native void addAssociation0(String a, String b, String c, String d);
}
