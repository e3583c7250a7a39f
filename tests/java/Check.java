package com.larkwin.tests;

import java.util.Objects;

/** Assertions for the test programs: each failure is printed, and the exit status counts them. */
final class Check {
    interface Action {
        void run() throws Exception;
    }

    private static int failures;

    private Check() {}

    static void equal(Object expected, Object actual, String what) {
        if (!Objects.equals(expected, actual)) {
            fail(what + ": expected <" + expected + "> but was <" + actual + ">");
        }
    }

    static void isTrue(boolean condition, String what) {
        if (!condition) {
            fail(what);
        }
    }

    /** Runs the action and returns what it threw, or null after reporting that it threw nothing. */
    static <T extends Throwable> T thrown(Class<T> type, Action action, String what) {
        try {
            action.run();
        } catch (Throwable t) {
            if (type.isInstance(t)) {
                return type.cast(t);
            }
            fail(what + ": threw " + t);
            return null;
        }
        fail(what + ": threw nothing");
        return null;
    }

    static void fail(String message) {
        failures++;
        new AssertionError(message).printStackTrace();
    }

    /** Runs one named case; an unexpected exception fails it without stopping the others. */
    static void run(String name, Action test) {
        try {
            test.run();
        } catch (Throwable t) {
            fail(name + ": unexpected " + t);
            t.printStackTrace();
        }
    }

    static void exit() {
        System.out.println(failures == 0 ? "all checks passed" : failures + " check(s) failed");
        System.exit(failures == 0 ? 0 : 1);
    }
}
