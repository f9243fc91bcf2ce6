// Server registration over the plug-in's factory template table: the class entries under
// HKEY_CLASSES_ROOT\CLSID, and the filters' entries with the platform's filter mapper or the
// objects' own IAMovieSetup. Every routine stops at the first failure and returns it.
#pragma once

#include "framework/classfactory.h"

// Writes, for every template, "CLSID\{clsid}" = template name, its "InprocServer32" = the
// module path and "ThreadingModel" = "Both".
HRESULT RegisterServerEntries(LPCWSTR pszModulePath);
// Deletes every template's "CLSID\{clsid}" key with everything below it.
HRESULT UnregisterServerEntries();
// Registers (or removes) the server entries and every template's filter setup data with the
// filter mapper.
HRESULT RegisterFiltersWithMapper(BOOL bRegister);
// Registers each template's server entries and lets a new object of the class register
// itself through IAMovieSetup.
HRESULT RegisterServersAndSetup();
// The counterpart, from the last template to the first.
HRESULT UnregisterServersAndSetup();
