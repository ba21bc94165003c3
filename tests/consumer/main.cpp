// Opens an empty store in memory through the public headers and lists what it holds.
#include "host/objects/sql_object_manager.h"
#include "veltrane/contracts/object_services.h"
#include "veltrane/contracts/vocabulary.h"
#include "veltrane/service/class_table.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    veltrane::host::StoreOptions options;
    options.seed = true;
    auto store = veltrane::host::SqlStore::open(QStringLiteral(":memory:"), options);
    veltrane::installObjectManagerFactory(veltrane::host::SqlObjectManager::factory(store));
    const auto sets = veltrane::ObjectManager().LoadCollection(veltrane::queries::kAnalysisParameters, {}, {},
                                                               veltrane::fields::kName, false, true);
    std::printf("%d sets, %d public classes\n", int(sets->Count()), int(veltrane::publicClasses().size()));
    veltrane::installObjectManagerFactory({});
    return sets->Count() > 0 ? 0 : 1;
}
