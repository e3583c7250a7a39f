#ifndef LARKWIN_PACK_DEB_APTREPOSITORY_H
#define LARKWIN_PACK_DEB_APTREPOSITORY_H

struct repositoryRequest;

// Adds the request's .deb files to the apt repository in its directory,
// with Debian's tools: each in pool/main/L/NAME/, then for each
// architecture dists/SUITE/main/binary-ARCH/Packages (plain, .gz, .xz, and
// by-hash/SHA256/ copies) by apt-ftparchive, and dists/SUITE/Release with
// their SHA-256 hashes, signed by gpg as InRelease and Release.gpg. Of each
// package and architecture the newest request.keep versions stay. Beside
// them: NAME-archive-keyring.pgp and NAME.sources.
//
// Refused before anything is written: a key that cannot sign (GnuPG's
// reason), a package that is not a .deb, a version that the repository
// holds with other content ("1.00" is "1.0"), a folder others may
// write, a pool file of another package. A reader sees the old repository or the new
// one: files are added under new names, InRelease is renamed into place
// last, and what the old index named stays until the next update.
void writeAptRepository(const repositoryRequest& request);

// The refusals of writeAptRepository, made before the packages are
// published anywhere (request.packages are the files just built): the
// key, and a version held with other content, as dpkg compares versions.
void prepareAptRepository(const repositoryRequest& request);

#endif
