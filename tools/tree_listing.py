"""Lists a directory tree as searchfilter locations, as bytes, on Linux.

Location i is the pair folders[i], names[i]:
- the folder text is the folder's path below the root with "/" after each name (empty for
  the root itself), so the root's own path is never searched;
- every entry that is not a folder (files, links, devices) is a location in its folder;
  links are listed, never followed;
- an empty folder is a location of its own with an empty name, so a search still finds it.
A kept line folder + "\\" + name splits back into one location only: a name holds no "/",
and a folder text is empty or ends with "/", even where names hold backslashes.

A name holding CR or LF cannot be put on a list line: it is left out and counted (for a
folder, with everything inside it). So is a folder that cannot be read.
"""

import os
from dataclasses import dataclass, field

LINE_END_BYTES = (b"\r", b"\n")


@dataclass
class Listing:
    root: bytes
    folders: list = field(default_factory=list)
    names: list = field(default_factory=list)
    unlistable_names: int = 0
    unreadable_folders: int = 0

    def real_path(self, index):
        """The path of location index in the tree; an empty folder's ends with "/"."""
        return os.path.join(self.root, self.folders[index] + self.names[index])


def can_be_listed(name):
    return not any(byte in name for byte in LINE_END_BYTES)


def read_folder(path):
    """The entries of one folder as sorted (name, is_folder) pairs, or None if unreadable."""
    try:
        with os.scandir(path) as entries:
            found = []
            for entry in entries:
                try:
                    is_folder = entry.is_dir(follow_symlinks=False)
                except OSError:
                    is_folder = False
                found.append((entry.name, is_folder))
    except OSError:
        return None
    return sorted(found)


def list_tree(root):
    """Walks root (bytes) depth-first: a folder's files, then each of its folders in turn."""
    listing = Listing(root)
    pending = [b""]  # folder texts still to read
    while pending:
        folder = pending.pop()
        entries = read_folder(os.path.join(root, folder) if folder else root)
        if entries is None:
            listing.unreadable_folders += 1
            continue
        if not entries and folder:
            listing.folders.append(folder)
            listing.names.append(b"")
        subfolders = []
        for name, is_folder in entries:
            if not can_be_listed(name):
                listing.unlistable_names += 1
            elif is_folder:
                subfolders.append(folder + name + b"/")
            else:
                listing.folders.append(folder)
                listing.names.append(name)
        pending.extend(reversed(subfolders))
    return listing
