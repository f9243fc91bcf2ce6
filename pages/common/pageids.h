// Class ids, resource ids and names that both page plug-ins share.
#pragma once

#include "plat/ks.h"

// {ACD9F33F-2640-41C8-A32F-044D1DD5170A}
YRA_DEFINE_GUID(CLSID_VideoControlPage, 0xACD9F33F, 0x2640, 0x41C8, 0xA3, 0x2F, 0x04, 0x4D, 0x1D, 0xD5, 0x17, 0x0A);
// {823FD921-7263-4C07-9634-FC02F48DFE4B}
YRA_DEFINE_GUID(CLSID_PowerLinePage, 0x823FD921, 0x7263, 0x4C07, 0x96, 0x34, 0xFC, 0x02, 0xF4, 0x8D, 0xFE, 0x4B);

#include "pages/common/pageres.h"

// The name of the server, its class and its page key.
#define PAGE_SERVER_NAME u"Marnex KSProxy Extension Property Page"

// Both pages' version, in numbers and as the version record's text.
#define PAGE_VERSION_NUMBERS {3, 0, 3, 0}
#define PAGE_VERSION_TEXT u"3, 0, 3, 0"
