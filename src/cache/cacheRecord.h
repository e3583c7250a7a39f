#ifndef LARKWIN_CACHE_CACHERECORD_H
#define LARKWIN_CACHE_CACHERECORD_H

// What the cache knows of one archive, in a small text file beside it (the
// archive's name with ".info" added), whose modification time is the
// archive's last use. The archive's size and checksum tell damage; its inode
// and change time (which every write, truncation or chmod sets to the
// present and no one can set back) spare the checksum while they still hold.
class cacheRecord {
  public:
    cacheRecord();
    ~cacheRecord();
    cacheRecord(const cacheRecord&) = delete;
    cacheRecord& operator=(const cacheRecord&) = delete;

    // Reads a record that is a regular file of the user's own (or, when
    // rootMayOwn, of root's) that others may not write, complete and well
    // formed; 0 otherwise.
    int read(const char* path, int rootMayOwn = 0);
    // Writes it under a temporary name and renames it over path, mode 0600;
    // 0 when that failed.
    int write(const char* path) const;
    // Writes it over the user's own record at path, where no new file can
    // be made; 0 when that failed. A record cut short by a crash meanwhile
    // is not read.
    int writeInPlace(const char* path) const;
    // Size, inode and change time from the archive's status as it is now.
    void takeFileState(const char* archive);

    // Owned strings; each is replaced by set().
    void set(char*& field, const char* value);

    unsigned long long size;
    unsigned long long checksum;
    unsigned long long inode;
    long long changeSeconds;
    long long changeNanoseconds;
    char* executable;
    char* mainClass;
    char* runtimeHome;
    char* runtimeVersion;
    // The classes the archive was made from, how often it was made again
    // for a larger run, and the starts that mapped it since it was made.
    long long classes;
    int remakes;
    int uses;
};

// A 64-bit checksum of the file's whole content (four lanes of 64-bit
// words, multiplied and mixed, then the length); 0 and *ok = 0 when it
// cannot be read.
unsigned long long computeFileChecksum(const char* path, int* ok);

enum archiveState { archiveMissing, archiveSound, archiveDamaged };

// Whether the archive can be mapped: present, the user's own, not writable
// by others, of the recorded size, and either unchanged since the record
// was made or of the recorded checksum (the record then takes its new state).
// An archive without a sound record is damaged.
archiveState checkArchive(const char* archive, const char* recordPath, cacheRecord& record);

#endif
