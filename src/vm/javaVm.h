#ifndef LARKWIN_VM_JAVAVM_H
#define LARKWIN_VM_JAVAVM_H

#include "runtime/versionRequirement.h"
#include "util/stringArray.h"

// Temporary files that the in-process exit hook deletes before the process
// ends; environment passing registers each dump file here too.
extern stringArray HACKtempFileArray;

// The launch description: everything needed to start the application, and how
// its last run ended. Every char* handed to a set or add operation (except
// addTempFile) becomes the description's, whether or not it is kept.
class javaVm {
  public:
    javaVm();
    virtual ~javaVm();
    javaVm(const javaVm&) = delete;
    javaVm& operator=(const javaVm&) = delete;

    // Starts the application and records its exit code.
    virtual void run() = 0;

    char* createPath(const stringArray* list) const;
    void setJavaPath(char* path);
    // Takes both (see unpackedRoot).
    void setUnpackedCopies(char* root, char* appDirectory);
    void setMainClass(char* name);
    void addPath(char* entry);
    void addBootPath(char* entry);
    void addSkipPath(char* entry);
    void addVmOption(char* option);
    void addParam(char* param);
    // "firstparam": puts the parameter after the earlier first parameters
    // and before every other one (the command line's, addparam's).
    void addFirstParam(char* param);
    // How many parameters at the front came from addFirstParam.
    int getFirstParamCount() const { return firstParams; }
    stringArray* getParams() const;
    void clearParams();
    void setExitCode(int code) { exitCode = code; }
    int getExitCode() const { return exitCode; }
    void setRestartCode(int code) { restartCode = code; }
    int shouldRestart() const;
    void migrateDashJ();
    void addTempFile(const char* path);
    // Deletes the listed temporary files now; the destructor deletes them too.
    void deleteTempFiles();
    void setSocketPort(int port) { socketPort = port; }
    // "startupcache": directory is where archives go, null when there is no
    // such place (the cache is then off). Takes ownership.
    void setStartupCache(char* directory);
    int getSocketPort() const { return socketPort; }
    // "crashdir": where the JVM's crash reports and heap dumps go (null:
    // where the JVM puts them by itself). Takes ownership.
    void setCrashDirectory(char* directory);

    int exitCode;
    int restartCode;
    int socketPort;
    stringArray tempFiles;
    char* javaPath;
    char* mainClass;
    stringArray classPath;
    stringArray bootPath;
    stringArray skipPath;
    stringArray vmOptions;
    stringArray params;
    int firstParams;

    // "javaversion" and "javasearch": with either, the java executable is
    // chosen among the runtimes found (runtime/javaSearch.h).
    versionRequirement javaVersion;
    stringArray javaSearchDirs;

    // "startupcache" (see setStartupCache).
    int useStartupCache;
    char* startupCacheDir;
    // A one file's copies (config/unpackDirective.h): the folder that holds
    // them and the one that ${app.dir} names, where the archive it ships
    // lies (lib/startupcache); both null otherwise.
    char* unpackedRoot;
    char* unpackedAppDirectory;
    // "shortruns": the compilers' set-up is chosen by measuring (cache/shortRuns.h).
    int useShortRuns;

    // "crashdir" (see setCrashDirectory).
    char* crashDirectory;

    // "addexports" and "addopens": the MODULE/PACKAGE entries of a jar's
    // Add-Exports and Add-Opens, which become VM options at launch for the
    // packages that the runtime has (vm/moduleAccess.h).
    stringArray manifestExports;
    stringArray manifestOpens;
};

#endif
