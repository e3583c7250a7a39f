package com.larkwin.tests;

import static org.junit.jupiter.api.Assertions.assertFalse;

import com.larkwin.app.Service;
import org.junit.jupiter.api.Test;

/** Outside the launcher (no larkwin.notify.fd) every call is a no-op. */
class ServiceTest {
    @Test
    void withoutTheLauncherEveryCallIsANoOp() {
        assertFalse(Service.ready());
        assertFalse(Service.status("starting"));
        assertFalse(Service.alive());
        assertFalse(Service.stopping());
    }
}
