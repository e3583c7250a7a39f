#ifndef LARKWIN_PACK_IMAGE_TREETIMES_H
#define LARKWIN_PACK_IMAGE_TREETIMES_H

// With SOURCE_DATE_EPOCH set, gives every file, link and directory under
// directory (itself included) that is newer than it that time, as
// reproducible archives clamp theirs: two images of the same inputs then
// hold the same times. Without it, changes nothing. Throws with the
// system's reason.
void clampTreeTimes(const char* directory);

#endif
