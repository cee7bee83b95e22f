// The folder a file of root's (or of the caller's) may be made in: reached one
// component at a time from an open folder, so that no folder on the path can be
// swapped for another while it is walked, and only through folders no other user
// can change. A folder on the way must be owned by root or by this user, and not
// writable by others unless its sticky bit keeps their hands off what is not
// theirs (/tmp). A symbolic link on the way is followed when root or this user
// owns it (/var/run, root's link to /run); one of another user's is refused.
#ifndef VEMI_TRUSTED_FOLDER_H
#define VEMI_TRUSTED_FOLDER_H

#include <stddef.h>

// Opens the folder that holds `path`'s last component (the working folder's
// components for a relative path), and copies that component into `name`. The
// folder's descriptor, or -1 with `why` naming the component refused and why
// ("/tmp/vemi: a symbolic link owned by uid 65534").
int TrustedFolderOpen(const char* path, char* name, size_t nameSize, char* why, size_t whySize);

#endif
