#ifndef LARKWIN_PACK_RPM_RPMREPOSITORY_H
#define LARKWIN_PACK_RPM_RPMREPOSITORY_H

struct repositoryRequest;

// Adds the request's .rpm files to the rpm repository in its directory:
// each signed by rpmsign with the request's key, then repodata/ written by
// createrepo_c and repodata/repomd.xml signed by gpg as repomd.xml.asc. Of
// each package and architecture the newest request.keep versions stay.
// Beside them: NAME-archive-keyring.pgp and NAME.repo.
//
// Refused before anything is written: a key that cannot sign (GnuPG's
// reason), a package that is not an .rpm, a version that the repository
// holds with other content (compared without signatures). A reader sees
// the old repository or the new one: the metadata files have names of
// their own (their hash first), repomd.xml is renamed into place after
// them, then its signature, and what the old repomd.xml named stays one
// update longer.
void writeRpmRepository(const repositoryRequest& request);

// The refusals of writeRpmRepository, made before the packages are
// published anywhere (request.packages are the files just built): the
// key, a version held with other content, as rpm compares versions. The
// packages that the repository will add are signed where they are, so
// that a package folder that is the repository's holds them signed too.
void prepareRpmRepository(const repositoryRequest& request);

#endif
