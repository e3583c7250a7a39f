#ifndef LARKWIN_UNIX_FILEASSOCIATION_H
#define LARKWIN_UNIX_FILEASSOCIATION_H

// The file-association operations behind the application's natives. This
// platform keeps no associations: they only trace their calls under +DEBUG.
// What the four strings mean is the Java side's business; any may be null.

// Non-zero when the association is in place; here never.
int checkAssociation(const char* first, const char* second, const char* third, const char* fourth);
void addAssociation(const char* first, const char* second, const char* third, const char* fourth);

#endif
