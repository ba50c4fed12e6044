#pragma once

// Path helpers with the Windows shell's meaning carried over to POSIX paths: '/' is the only
// separator, mount points are the roots. Output buffers hold MAX_PATH characters; a result
// that does not fit fails instead of being cut short.

#include "platform/shell/FileFind.h"

// After the last separator that is followed by something: "/a/b" -> "b", "/a/b/" -> "b/".
LPWSTR PathFindFileNameW(LPCWSTR path);
// From the last '.' of the last component ("a.tar.gz" -> ".gz", ".bashrc" -> ".bashrc"), or
// the terminator when there is none.
LPWSTR PathFindExtensionW(LPCWSTR path);
// Replaces the extension, or appends ext when there is none. FALSE when it would not fit.
BOOL PathRenameExtensionW(LPWSTR path, LPCWSTR ext);
// folder + "/" + file with "." and ".." resolved by name; an absolute file stands alone.
// Null, with dest empty, when the result would not fit. dest may be one of the inputs.
LPWSTR PathCombineW(LPWSTR dest, LPCWSTR folder, LPCWSTR file);
// Leaves the longest mount point that is a whole-component prefix of the path ("/" at
// least); a relative path becomes empty and gives FALSE.
BOOL PathStripToRootW(LPWSTR path);
// "/" or a mount point, with or without a trailing separator.
BOOL PathIsRootW(LPCWSTR path);
// prefix names the path itself or a folder it lies in, by whole components and case:
// "/home/ann" is a prefix of "/home/ann/x", not of "/home/anna".
BOOL PathIsPrefixW(LPCWSTR prefix, LPCWSTR path);
// FILE_ATTRIBUTE_DIRECTORY for an existing folder (links followed), FALSE otherwise.
BOOL PathIsDirectoryW(LPCWSTR path);
BOOL PathFileExistsW(LPCWSTR path);
// Without regard to case first, then unit by unit, so it agrees with the listing order.
int StrCmpW(LPCWSTR a, LPCWSTR b);

// The file name without its extension (a name that is all extension stays whole). 0 when
// copied; the size needed (terminator included) when title is null or too small; negative
// for a path that names no file (empty, ending in '/').
short GetFileTitleW(LPCWSTR file, LPWSTR title, WORD titleSize);
