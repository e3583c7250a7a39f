package com.larkwin.maven;

import java.time.Instant;
import java.time.OffsetDateTime;
import java.time.format.DateTimeParseException;
import java.util.Locale;

/** What larkwin-pack takes from a project's model, made valid for a package. */
final class ProjectValues {
    private ProjectValues() {}

    /**
     * A package version from a Maven version: '-' becomes '~', which sorts before the release in
     * dpkg and rpm alike ("1.4-SNAPSHOT" is "1.4~SNAPSHOT", older than "1.4"); any other character
     * a package version cannot hold becomes '.'; a version that does not begin with a digit gets
     * "0~" before it.
     */
    static String packageVersion(String version) {
        StringBuilder made = new StringBuilder();
        for (char c : version.toCharArray()) {
            boolean kept = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')
                || c == '+' || c == '.' || c == '~';
            made.append(kept ? c : c == '-' ? '~' : '.');
        }
        boolean digitFirst = made.length() > 0 && Character.isDigit(made.charAt(0));
        return digitFirst ? made.toString() : "0~" + made;
    }

    /** A package name from an artifactId: lower case, and '-' for what a name cannot hold. */
    static String packageName(String artifactId) {
        StringBuilder made = new StringBuilder();
        for (char c : artifactId.toLowerCase(Locale.ROOT).toCharArray()) {
            boolean kept = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || c == '+' || c == '-'
                || c == '.';
            made.append(kept ? c : '-');
        }
        return made.toString();
    }

    /**
     * SOURCE_DATE_EPOCH from project.build.outputTimestamp, as Maven reads it: seconds since 1970,
     * or an ISO 8601 date and time with its offset; null when unset or one character long (Maven's
     * way of turning it off).
     *
     * @throws IllegalArgumentException when it is neither
     */
    static String sourceDateEpoch(String outputTimestamp) {
        if (outputTimestamp == null || outputTimestamp.trim().length() < 2) {
            return null;
        }
        String text = outputTimestamp.trim();
        if (text.chars().allMatch(Character::isDigit)) {
            return Long.toString(Long.parseLong(text));
        }
        try {
            return Long.toString(OffsetDateTime.parse(text).toEpochSecond());
        } catch (DateTimeParseException notOffset) {
            try {
                return Long.toString(Instant.parse(text).getEpochSecond());
            } catch (DateTimeParseException e) {
                throw new IllegalArgumentException("project.build.outputTimestamp '" + text
                    + "' is neither seconds since 1970 nor an ISO 8601 date and time such as"
                    + " 2024-01-01T00:00:00Z");
            }
        }
    }
}
