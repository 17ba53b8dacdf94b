#!/usr/bin/env python3
"""A ZIP of a folder that two builds of one commit make byte for byte alike.

make_zip.py FOLDER TOP OUT.zip EPOCH

Every entry lies below TOP/, in sorted order, with the time EPOCH (seconds since 1970, the
commit's: SOURCE_DATE_EPOCH), one mode for files and one for folders, and deflate level 9: nothing
of the machine, the folder it was built in or the moment it was built.
"""
import os
import sys
import time
import zipfile


def entry(name, epoch, folder):
    # ZIP keeps local time to two seconds from 1980 on; UTC here, so no machine's zone shows.
    stamp = time.gmtime(max(epoch, 315532800))[:6]
    info = zipfile.ZipInfo(name + ("/" if folder else ""), date_time=stamp)
    info.create_system = 3  # Unix, so the modes below are read
    info.external_attr = ((0o40755 if folder else 0o100644) << 16) | (0x10 if folder else 0)
    info.compress_type = zipfile.ZIP_STORED if folder else zipfile.ZIP_DEFLATED
    return info


def main():
    folder, top, out, epoch = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4])
    names = []
    for root, dirs, files in os.walk(folder):
        dirs.sort()
        rel = os.path.relpath(root, folder)
        prefix = top if rel == "." else top + "/" + rel.replace(os.sep, "/")
        names.append((prefix, None))
        names.extend((prefix + "/" + f, os.path.join(root, f)) for f in sorted(files))
    names.sort()
    partial = out + ".part"
    with zipfile.ZipFile(partial, "w") as archive:
        for name, path in names:
            if path is None:
                archive.writestr(entry(name, epoch, True), b"")
            else:
                with open(path, "rb") as source:
                    archive.writestr(entry(name, epoch, False), source.read(),
                                     compress_type=zipfile.ZIP_DEFLATED, compresslevel=9)
    os.replace(partial, out)


if __name__ == "__main__":
    main()
