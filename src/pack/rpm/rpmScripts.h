#ifndef LARKWIN_PACK_RPM_RPMSCRIPTS_H
#define LARKWIN_PACK_RPM_RPMSCRIPTS_H

#include "pack/package/packageService.h"

class stringBuffer;

// The .rpm's scriptlets, %post, %preun and %postun: what the service and
// the base archive add to each (packageService.h); a null name ends them.
extern const maintainerScript rpmScripts[];

// Appends the scriptlets that have something to do to an rpm build recipe.
void appendRpmScripts(const packageRequest& request, stringBuffer& recipe);

#endif
