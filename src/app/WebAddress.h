// What the watcher hands to the browser. The shell runs programs, opens
// files and follows any registered scheme, and a stored list may come from
// anyone: so only web addresses leave the program, and only in a form that
// no command line can split.
#pragma once

#include "runtime/String.h"

// `address` as a well-formed URL for the browser, or false when it is no
// web address. Blanks around it are dropped (as the fetch drops them); an
// address without a scheme gets "http://" in front, as it is fetched; the
// scheme is written in small letters. Every byte that may not stand in a
// URL (blanks, quotes, backslashes, control characters, a "%" that starts
// no escape, a second "#", the UTF-8 bytes of other scripts) is
// percent-encoded. Refused: any scheme but "http://" and "https://" with a
// host, and paths: a drive letter ("C:\x", "C:x"), a UNC or device path
// ("\\host\share", "\\?\C:\"), a path from the root, and a relative path
// ("x\y.exe", "..\y", "./y").
bool BrowserAddress(const String& address, String& url);
