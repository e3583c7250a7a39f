#ifndef LARKWIN_PACK_REPOSITORY_SIGNINGKEY_H
#define LARKWIN_PACK_REPOSITORY_SIGNINGKEY_H

#include <string>
#include <vector>

// A key of the user's GnuPG (GNUPGHOME, else ~/.gnupg) with its secret
// part, used through gpg. Signatures use SHA-512, which apt and rpm accept.
class signingKey {
  public:
    // Finds the one secret key that id names and signs an empty text with
    // it, so that a missing, ambiguous, expired or revoked key, or one whose
    // passphrase is not given, is refused before anything is written:
    // throws "GnuPG cannot sign with 'ID': " and gpg's own reason. Throws
    // too when gpg is missing.
    explicit signingKey(const std::string& id);

    const std::string& fingerprint() const { return fingerprintText; }
    const std::string& gpg() const { return gpgPath; }
    // When the key stops being valid (seconds since the epoch), or 0: never.
    long expires() const { return expiry; }
    // Signs with the key that id names too, after checking it as the
    // constructor does: while a repository moves to that key, its indexes
    // carry both signatures and its keyring both keys.
    void alsoSignWith(const std::string& id);
    // The fingerprints of every key that signs: this one first.
    std::vector<std::string> fingerprints() const;
    // The public keys, binary, without other signatures than their own:
    // what apt's Signed-By and dnf's gpgkey read.
    std::string exportPublic() const;
    // InRelease: the text with its signature inline.
    void clearSign(const std::string& input, const std::string& output) const;
    // Release.gpg and repomd.xml.asc: an armored signature of its own.
    void detachSign(const std::string& input, const std::string& output) const;

  private:
    void sign(const char* how, const std::string& input, const std::string& output) const;
    std::string id;
    std::string gpgPath;
    std::string fingerprintText;
    long expiry = 0;
    std::vector<std::string> others;
};

// With SOURCE_DATE_EPOCH set, gpg's options that give a signature by key
// the build's date (never one before the key was made), as
// " --faked-system-time SECONDS!"; else "".
std::string createSignatureTimeOptions(const signingKey& key);

#endif
