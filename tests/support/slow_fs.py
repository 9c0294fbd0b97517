#!/usr/bin/python3
"""A folder served as a file system whose look-ups below /slow take seconds, as a share
whose server has gone quiet answers: the end-to-end tests map it as a network drive.

    slow_fs.py BACKING MOUNTPOINT DELAY_SECONDS

Everything else answers at once. Runs in the foreground until unmounted or killed."""
import errno
import os
import sys
import time

import fusepy


class SlowFs(fusepy.Operations):
    def __init__(self, backing, delay):
        self.backing = backing
        self.delay = delay

    def _path(self, path):
        # Every look-up of a name below /slow waits, as a quiet server makes it, for
        # zelvon's threads: the tests' own look-ups there answer at once, and so do those of
        # Wine's server, which opens files for every process of the prefix in one thread
        # (made to wait, it would hold them all, which no Windows does).
        # Not for a folder's desktop.ini, which Wine's shell reads under one lock for the
        # whole process (its profile functions'), so that the window's own reads of other
        # folders' would wait behind it: Wine's, not zelvon's.
        if ((path == "/slow" or path.startswith("/slow/")) and self._from_zelvon()
                and not path.lower().endswith("/desktop.ini")):
            time.sleep(self.delay)
        return os.path.join(self.backing, path.lstrip("/"))

    @staticmethod
    def _from_zelvon():
        pid = fusepy.fuse_get_context()[2]
        try:
            with open("/proc/%d/comm" % pid) as comm:
                name = comm.read().strip()
        except OSError:
            return False
        return name.startswith("zelvon")

    def getattr(self, path, fh=None):
        try:
            st = os.lstat(self._path(path))
        except OSError as e:
            raise fusepy.FuseOSError(e.errno)
        return {key: getattr(st, key) for key in (
            "st_mode", "st_nlink", "st_size", "st_uid", "st_gid", "st_atime", "st_mtime",
            "st_ctime")}

    def readdir(self, path, fh):
        return [".", ".."] + os.listdir(self._path(path))

    def access(self, path, mode):
        if not os.access(self._path(path), mode):
            raise fusepy.FuseOSError(errno.EACCES)

    def open(self, path, flags):
        return os.open(self._path(path), flags)

    def read(self, path, size, offset, fh):
        os.lseek(fh, offset, os.SEEK_SET)
        return os.read(fh, size)

    def release(self, path, fh):
        os.close(fh)

    def statfs(self, path):
        st = os.statvfs(self.backing)
        return {key: getattr(st, key) for key in (
            "f_bavail", "f_bfree", "f_blocks", "f_bsize", "f_favail", "f_ffree", "f_files",
            "f_flag", "f_frsize", "f_namemax")}


if __name__ == "__main__":
    backing, mountpoint, delay = sys.argv[1], sys.argv[2], float(sys.argv[3])
    # Nothing kept by the kernel: every look-up comes here, whoever made the one before.
    fusepy.FUSE(SlowFs(backing, delay), mountpoint, foreground=True, nothreads=False,
                ro=True, entry_timeout=0, attr_timeout=0, negative_timeout=0)
