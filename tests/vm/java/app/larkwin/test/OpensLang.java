package larkwin.test;

import java.lang.reflect.Field;

// Reaches into java.lang, which only an --add-opens of java.base/java.lang
// to the class path allows.
public class OpensLang {
    public static void main(String[] args) throws Exception {
        Field value = String.class.getDeclaredField("value");
        value.setAccessible(true);
        System.out.println("java.lang is open");
    }
}
