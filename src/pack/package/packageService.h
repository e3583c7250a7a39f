#ifndef LARKWIN_PACK_PACKAGE_PACKAGESERVICE_H
#define LARKWIN_PACK_PACKAGE_PACKAGESERVICE_H

class stringArray;
class stringBuffer;
struct packageRequest;

// A package made with --service (the request's image.service): the systemd
// unit that runs the installed launcher, and the maintainer scripts that
// install it neither enabled nor started and that stop and disable it on
// removal. Without --service each of these adds nothing.

// Throws, before anything slow is done, when --name or --service-user
// cannot be written in a unit.
void checkServiceNames(const packageRequest& request);

// Writes root/usr/lib/systemd/system/NAME.service, whose ExecStart is
// /opt/NAME/bin/NAME, and appends its path to files.
void stageServiceUnit(const packageRequest& request, const char* root, stringArray& files);

// Writes root/DEBIAN/postinst, prerm and postrm (mode 0755), which dpkg-deb
// takes as the package's maintainer scripts. The base archive's lines
// (packageBaseArchive.h) join them; without either, none is written.
void writeDebianServiceScripts(const packageRequest& request, const char* root);

// Appends the %post, %preun and %postun sections to an rpm build recipe, with
// the base archive's lines as above.
void appendRpmServiceScripts(const packageRequest& request, stringBuffer& recipe);

#endif
