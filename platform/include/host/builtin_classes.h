// The host's built-in classes (filter graph, capture graph builder, device enumerator, mappers,
// memory allocator, dump filter) are found by CoCreateInstance before the registry is asked.
// Each host component files its classes with a static registrar in its own source file.
#pragma once

#include "plat/unknown.h"

namespace host {

using CreateBuiltinFn = HRESULT (*)(IUnknown* pUnkOuter, REFIID riid, void** ppv);

void RegisterBuiltinClass(REFCLSID clsid, CreateBuiltinFn create);
// The creation function for a class id, or null when the host has no such class.
CreateBuiltinFn FindBuiltinClass(REFCLSID clsid);

struct BuiltinClassRegistrar {
    BuiltinClassRegistrar(REFCLSID clsid, CreateBuiltinFn create) { RegisterBuiltinClass(clsid, create); }
};

} // namespace host
