package com.larkwin.app;

import java.nio.charset.Charset;

/** The encoding in which the operating system hands out file names and environment strings. */
final class PlatformEncoding {
    private PlatformEncoding() {}

    /**
     * Since JDK 18 "file.encoding" defaults to UTF-8 whatever the locale, while
     * file names, arguments and the environment still follow the locale; the
     * runtime keeps that encoding in "sun.jnu.encoding".
     */
    static Charset fileNames() {
        String name = System.getProperty("sun.jnu.encoding");
        if (name != null) {
            try {
                return Charset.forName(name);
            } catch (IllegalArgumentException unsupported) {
                // Fall through to the default below.
            }
        }
        return Charset.defaultCharset();
    }
}
