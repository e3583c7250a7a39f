/**
 * The application's side of the larkwin launcher.
 *
 * <p>The launcher hands the application a few system properties; the classes
 * here read them so that no application needs to know their formats:
 * {@link com.larkwin.app.Larkwin} gives the launcher's path, copied
 * environment variables and the exported environment,
 * {@link com.larkwin.app.EnvironmentDump} reads an environment dump file, and
 * {@link com.larkwin.app.SingleInstance} receives the files that later
 * launchers started with {@code +SHELL} forward to the running instance.
 * {@link com.larkwin.app.Service} tells systemd, through the launcher, that a
 * service is ready, what it is doing, that it stops and that it is alive.
 */
package com.larkwin.app;
