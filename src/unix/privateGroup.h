#ifndef LARKWIN_UNIX_PRIVATEGROUP_H
#define LARKWIN_UNIX_PRIVATEGROUP_H

// 1 when the group gid is the private group of the user owner, as Debian
// gives every user one: the owner is its only member, as a primary group
// (the password database) and as a supplementary one (the group database),
// and it has that member. A group write permission then lets no one else
// write; for any other group it lets other users write, as o+w does. A group
// that cannot be looked up, and one without members, count as shared.
int isPrivateGroupOf(unsigned gid, unsigned owner);

#endif
