#ifndef LARKWIN_PACK_PACKAGE_PACKAGESERVICE_H
#define LARKWIN_PACK_PACKAGE_PACKAGESERVICE_H

class packOptions;
class stringArray;
class stringBuffer;

// A package made with --service: the systemd unit that runs the installed
// launcher, and the maintainer scripts that install it neither enabled nor
// started and that stop and disable it on removal. Without --service each of
// these adds nothing.

// Throws, before anything slow is done, when --name or --service-user
// cannot be written in a unit.
void checkServiceNames(const packOptions& options);

// Writes root/usr/lib/systemd/system/NAME.service, whose ExecStart is
// /opt/NAME/bin/NAME, and appends its path to files.
void stageServiceUnit(const packOptions& options, const char* root, stringArray& files);

// Writes root/DEBIAN/postinst, prerm and postrm (mode 0755), which dpkg-deb
// takes as the package's maintainer scripts.
void writeDebianServiceScripts(const packOptions& options, const char* root);

// Appends the %post, %preun and %postun sections to an rpm build recipe.
void appendRpmServiceScripts(const packOptions& options, stringBuffer& recipe);

#endif
