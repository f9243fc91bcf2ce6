// Table of the host's built-in classes, filled by static registrars at library load.
#include "host/builtin_classes.h"

#include <map>
#include <mutex>

namespace host {
namespace {

struct Table {
    std::mutex lock;
    std::map<CLSID, CreateBuiltinFn, GuidLess> classes;
};

// Function-local so that registrars in other files may run first.
Table& TheTable() {
    static Table table;
    return table;
}

} // namespace

void RegisterBuiltinClass(REFCLSID clsid, CreateBuiltinFn create) {
    Table& t = TheTable();
    std::lock_guard<std::mutex> hold(t.lock);
    t.classes[clsid] = create;
}

CreateBuiltinFn FindBuiltinClass(REFCLSID clsid) {
    Table& t = TheTable();
    std::lock_guard<std::mutex> hold(t.lock);
    auto it = t.classes.find(clsid);
    return it == t.classes.end() ? nullptr : it->second;
}

} // namespace host
