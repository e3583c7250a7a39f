#ifndef LARKWIN_PACK_DEB_DEBIANSCRIPTS_H
#define LARKWIN_PACK_DEB_DEBIANSCRIPTS_H

#include "pack/package/packageService.h"

// The .deb's maintainer scripts, postinst, prerm and postrm: what the
// service and the base archive add to each (packageService.h); a null name
// ends them.
extern const maintainerScript debianScripts[];

// Writes root/DEBIAN/postinst, prerm and postrm (mode 0755), which dpkg-deb
// takes as the package's maintainer scripts; those that have nothing to do
// are not written.
void writeDebianScripts(const packageRequest& request, const char* root);

#endif
