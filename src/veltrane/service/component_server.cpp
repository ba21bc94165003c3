// The library as a component server: the four entry points a host finds by name, over the class
// factories of the public classes (component_server.h in contracts/ does the work).

#include "veltrane/contracts/component_server.h"
#include "veltrane/service/class_table.h"
#include "veltrane/service/type_library.h"

namespace veltrane {

namespace {

void anchor() {}

components::ComponentServer &server()
{
    static components::ComponentServer instance = [] {
        QList<components::ServerClass> classes;
        for (const PublicClass &c : publicClasses())
            classes.append({c.className, c.isBuilt() ? std::function<QObject *()>([&c] { return c.create(nullptr); })
                                                     : std::function<QObject *()>()});
        return components::ComponentServer(typelib::typeLibrary(), classes, &anchor);
    }();
    return instance;
}

} // namespace

} // namespace veltrane

using veltrane::server;

VELTRANE_COMPONENT_ENTRY_POINTS(server())
