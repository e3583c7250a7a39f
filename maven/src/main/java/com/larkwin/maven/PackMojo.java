package com.larkwin.maven;

import java.io.File;
import java.io.IOException;
import java.util.ArrayList;
import java.util.List;
import org.apache.maven.model.License;
import org.apache.maven.plugin.AbstractMojo;
import org.apache.maven.plugin.MojoExecutionException;
import org.apache.maven.plugin.MojoFailureException;
import org.apache.maven.plugins.annotations.LifecyclePhase;
import org.apache.maven.plugins.annotations.Mojo;
import org.apache.maven.plugins.annotations.Parameter;
import org.apache.maven.plugins.annotations.ResolutionScope;
import org.apache.maven.project.MavenProject;

/**
 * Packs the project's jar and its runtime dependencies with larkwin-pack: a one-file bundle
 * ({@code output}), an app image ({@code appImage}), packages ({@code deb}, {@code rpm}) and their
 * repositories. Each parameter is larkwin-pack's long option of the same name (see
 * larkwin-pack(1)); without any of output, appImage, deb and rpm, the bundle
 * {@code target/ARTIFACTID} is written. The class path is the project's jar, then its runtime
 * dependencies in Maven's order. With project.build.outputTimestamp set, larkwin-pack runs with
 * SOURCE_DATE_EPOCH, so that two builds give the same bytes.
 */
@Mojo(name = "pack", defaultPhase = LifecyclePhase.PACKAGE, threadSafe = true,
    requiresDependencyResolution = ResolutionScope.RUNTIME)
public class PackMojo extends AbstractMojo {
    @Parameter(defaultValue = "${project}", readonly = true, required = true)
    private MavenProject project;

    /** The packer to run: a path, or a name looked for on the PATH. */
    @Parameter(property = "larkwin.pack", defaultValue = "larkwin-pack")
    private String larkwinPack;

    /** Skips packing. */
    @Parameter(property = "larkwin.skip", defaultValue = "false")
    private boolean skip;

    /** Maven's date of the build's output; passed to larkwin-pack as SOURCE_DATE_EPOCH. */
    @Parameter(defaultValue = "${project.build.outputTimestamp}")
    private String outputTimestamp;

    /** -o: the one executable file to write (a bundle). */
    @Parameter(property = "larkwin.output")
    private File output;

    /** The launcher executable (default: the larkwin beside larkwin-pack). */
    @Parameter
    private File launcher;

    /** The configuration text to embed (instead of mainClass). */
    @Parameter
    private File config;

    /** The main class; embeds "mainclass NAME" and "startupcache". */
    @Parameter(property = "larkwin.mainClass")
    private String mainClass;

    /** With mainClass: leave "startupcache" out. */
    @Parameter
    private boolean noStartupCache;

    /**
     * With mainClass, add "shortruns": each start measures whether C1 alone starts it cheaper,
     * and keeps what does.
     */
    @Parameter
    private boolean shortRuns;

    /** With mainClass: the Java version the application needs (N, or N-M). */
    @Parameter
    private String javaVersion;

    /** Name no duplicates left out, nor an app image's modules and size. */
    @Parameter
    private boolean quiet;

    /** The app image directory to write, which must not exist. */
    @Parameter
    private File appImage;

    /** The package's and command's name (default: the artifactId, in lower case). */
    @Parameter
    private String name;

    /** "auto" (jlink, the default) or the home of a runtime to copy. */
    @Parameter
    private String runtime;

    /** With runtime auto: keep the JDK's debug data. */
    @Parameter
    private boolean keepDebug;

    /** Files or folders copied into the image, each SRC or SRC=DEST. */
    @Parameter
    private List<String> appContent;

    /** Modules to link beyond those jdeps finds, comma-separated. */
    @Parameter
    private String addModules;

    /** Modules to leave out of the runtime, comma-separated. */
    @Parameter
    private String excludeModules;

    /** Once the image is made, run it with trainArguments so that it ships a start-up archive. */
    @Parameter
    private boolean train;

    /** The arguments of the training run (with train). */
    @Parameter
    private List<String> trainArguments;

    /** The folder where the .deb is written. */
    @Parameter
    private File deb;

    /** The folder where the .rpm is written. */
    @Parameter
    private File rpm;

    /** The package's version (default: the project's version made a package version). */
    @Parameter
    private String appVersion;

    /** One line: the summary (default: the project's description, its first line). */
    @Parameter
    private String description;

    /** The longer description. */
    @Parameter
    private String longDescription;

    /** 'NAME &lt;EMAIL&gt;' (needed by deb). */
    @Parameter
    private String maintainer;

    /** The rpm's vendor. */
    @Parameter
    private String vendor;

    /** The homepage (default: the project's url). */
    @Parameter
    private String homepage;

    /** The copyright file (needed by deb). */
    @Parameter
    private File licenseFile;

    /** The rpm's License tag (default: the name of the POM's first license). */
    @Parameter
    private String license;

    /** An .svg or a square .png. */
    @Parameter
    private File icon;

    /** The menu entry's StartupWMClass. */
    @Parameter
    private String wmClass;

    /** The menu entry's categories. */
    @Parameter
    private String categories;

    /** A menu entry even without icon and the like. */
    @Parameter
    private boolean menuEntry;

    /** No menu entry, whatever else is given. */
    @Parameter
    private boolean noMenuEntry;

    /** The menu entry runs it in a terminal. */
    @Parameter
    private boolean terminal;

    /** File types it opens, each EXT,MIME,DESCRIPTION. */
    @Parameter
    private List<String> fileType;

    /** URL schemes it opens. */
    @Parameter
    private List<String> urlScheme;

    /** An AppStream file ID.metainfo.xml. */
    @Parameter
    private File metainfo;

    /** The folder of the signed apt repository the .deb joins. */
    @Parameter
    private File aptRepo;

    /** The folder of the signed rpm repository the .rpm joins. */
    @Parameter
    private File rpmRepo;

    /** The GnuPG key (of GNUPGHOME) that signs the repositories. */
    @Parameter
    private String signKey;

    /** Also sign with this key, and ship it: a change of keys in two publishes. */
    @Parameter
    private String nextSignKey;

    /** Where the repository is served; the packages subscribe to it. */
    @Parameter
    private String updateUrl;

    /** Versions of each package that stay in a repository. */
    @Parameter
    private String keep;

    /** Also write a systemd unit that runs the application as a service. */
    @Parameter
    private boolean service;

    /** The service's user, instead of a dynamic one. */
    @Parameter
    private String serviceUser;

    /** Type=notify: the application says when it is ready. */
    @Parameter
    private boolean serviceNotify;

    /** Keep CAP_NET_BIND_SERVICE, to listen on a port below 1024. */
    @Parameter
    private boolean serviceLowPort;

    @Override
    public void execute() throws MojoExecutionException, MojoFailureException {
        if (skip) {
            getLog().info("larkwin: skipped");
            return;
        }
        String epoch;
        try {
            epoch = ProjectValues.sourceDateEpoch(outputTimestamp);
        } catch (IllegalArgumentException e) {
            throw new MojoFailureException(e.getMessage());
        }
        List<String> classPath = classPath();
        boolean packages = deb != null || rpm != null;
        if (output == null && appImage == null && !packages) {
            output = new File(project.getBuild().getDirectory(), project.getArtifactId());
        }
        if (output != null) {
            // The image's options go to the bundle alone; else to the image and packages.
            boolean alone = appImage == null && !packages;
            pack(commonOptions(outputOptions("-o", output), alone, false), classPath, epoch, alone);
        }
        if (appImage != null) {
            List<String> command = outputOptions("--app-image", appImage);
            pack(commonOptions(command, true, false), classPath, epoch, true);
        }
        if (packages) {
            List<String> command = outputOptions("--deb", deb);
            PackOptions.addFile(command, "--rpm", rpm);
            pack(commonOptions(command, true, true), classPath, epoch, true);
        }
    }

    private List<String> outputOptions(String option, File where) {
        List<String> command = new ArrayList<>();
        command.add(larkwinPack);
        PackOptions.addFile(command, option, where);
        return command;
    }

    /**
     * The options of one run: the launcher's always, the image's where asked, and the packages'
     * with the project's defaults for packages.
     */
    private List<String> commonOptions(List<String> command, boolean image, boolean forPackage) {
        PackOptions.addFile(command, "--launcher", launcher);
        PackOptions.addFile(command, "--config", config);
        PackOptions.add(command, "--main-class", mainClass);
        PackOptions.addFlag(command, "--no-startup-cache", noStartupCache);
        PackOptions.addFlag(command, "--short-runs", shortRuns);
        PackOptions.add(command, "--java-version", javaVersion);
        PackOptions.addFlag(command, "--quiet", quiet);
        if (image) {
            imageOptions(command, !command.contains("-o"));
        }
        if (forPackage) {
            packageOptions(command);
        }
        return command;
    }

    private void imageOptions(List<String> command, boolean withDefaults) {
        String defaultName =
            withDefaults ? ProjectValues.packageName(project.getArtifactId()) : null;
        PackOptions.add(command, "--name", name != null ? name : defaultName);
        PackOptions.add(command, "--runtime", runtime);
        PackOptions.addFlag(command, "--keep-debug", keepDebug);
        PackOptions.addEach(command, "--app-content", appContent);
        PackOptions.add(command, "--add-modules", addModules);
        PackOptions.add(command, "--exclude-modules", excludeModules);
        PackOptions.addFlag(command, "--service", service);
        PackOptions.add(command, "--service-user", serviceUser);
        PackOptions.addFlag(command, "--service-notify", serviceNotify);
        PackOptions.addFlag(command, "--service-low-port", serviceLowPort);
    }

    private void packageOptions(List<String> command) {
        PackOptions.add(command, "--app-version",
            appVersion != null ? appVersion : ProjectValues.packageVersion(project.getVersion()));
        String summary = project.getDescription() != null
            ? project.getDescription().trim().split("\\R", 2)[0].trim() : null;
        PackOptions.add(command, "--description", description != null ? description : summary);
        PackOptions.add(command, "--long-description", longDescription);
        PackOptions.add(command, "--maintainer", maintainer);
        PackOptions.add(command, "--vendor", vendor);
        PackOptions.add(command, "--homepage", homepage != null ? homepage : project.getUrl());
        PackOptions.addFile(command, "--license-file", licenseFile);
        List<License> licenses = project.getLicenses();
        String firstLicense = licenses.isEmpty() ? null : licenses.get(0).getName();
        PackOptions.add(command, "--license", license != null ? license : firstLicense);
        PackOptions.addFile(command, "--icon", icon);
        PackOptions.add(command, "--wm-class", wmClass);
        PackOptions.add(command, "--categories", categories);
        PackOptions.addFlag(command, "--menu-entry", menuEntry);
        PackOptions.addFlag(command, "--no-menu-entry", noMenuEntry);
        PackOptions.addFlag(command, "--terminal", terminal);
        PackOptions.addEach(command, "--file-type", fileType);
        PackOptions.addEach(command, "--url-scheme", urlScheme);
        PackOptions.addFile(command, "--metainfo", metainfo);
        PackOptions.addFile(command, "--apt-repo", aptRepo);
        PackOptions.addFile(command, "--rpm-repo", rpmRepo);
        PackOptions.add(command, "--sign-key", signKey);
        PackOptions.add(command, "--next-sign-key", nextSignKey);
        PackOptions.add(command, "--update-url", updateUrl);
        PackOptions.add(command, "--keep", keep);
    }

    /** The project's jar, then its runtime dependencies in Maven's order. */
    private List<String> classPath() throws MojoExecutionException {
        File jar = project.getArtifact().getFile();
        if (jar == null || !jar.isFile()) {
            throw new MojoExecutionException("larkwin:pack needs the project's jar: run it in the "
                + "package phase, after the jar is made (" + project.getArtifactId() + ")");
        }
        List<String> paths = new ArrayList<>();
        paths.add(jar.getPath());
        try {
            String classes = project.getBuild().getOutputDirectory();
            for (String element : project.getRuntimeClasspathElements()) {
                if (!element.equals(classes)) {
                    paths.add(element);
                }
            }
        } catch (org.apache.maven.artifact.DependencyResolutionRequiredException e) {
            throw new MojoExecutionException("the runtime dependencies are not resolved", e);
        }
        return paths;
    }

    private void pack(List<String> command, List<String> classPath, String epoch, boolean image)
        throws MojoExecutionException, MojoFailureException {
        command.addAll(classPath);
        if (train && image) {
            command.add("--train");
            command.add("--");
            if (trainArguments != null) {
                command.addAll(trainArguments);
            }
        }
        getLog().debug("larkwin: " + String.join(" ", command));
        PackerRun run;
        try {
            run = PackerRun.run(command, epoch, line -> getLog().info(line));
        } catch (IOException e) {
            throw new MojoExecutionException("cannot run " + larkwinPack + ": " + e.getMessage()
                + " (larkwinPack, or -Dlarkwin.pack=PATH, names the packer)", e);
        } catch (InterruptedException e) {
            Thread.currentThread().interrupt();
            throw new MojoExecutionException("interrupted while " + larkwinPack + " ran", e);
        }
        if (run.status() != 0) {
            throw new MojoFailureException(run.reason());
        }
    }
}
