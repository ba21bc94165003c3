#include "app/host_setup.h"

#include "host/framework/flow_registry.h"
#include "host/framework/framework_factories.h"
#include "host/grid_utilities/host_grid_utilities.h"
#include "host/objects/sql_object_manager.h"
#include "host/snp_tag_editor/snp_tag_editor_page.h"
#include "host/str_selector/str_locus_tag_selector.h"
#include "veltrane/contracts/host_services.h"
#include "veltrane/contracts/vocabulary.h"
#include "veltrane/service/class_table.h"

#include <QDir>
#include <QStandardPaths>

namespace veltrane::app {

QString defaultStoreLocation()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (folder.isEmpty())
        folder = QDir::homePath() + QStringLiteral("/.local/share");
    return folder + QStringLiteral("/veltrane/veltrane.sqlite");
}

void registerFlows()
{
    host::registerParameterFlows([](const QString &className) -> QWidget * {
        try {
            return createPage(className);
        } catch (const Error &) {
            return nullptr; // the framework reports a page it cannot create
        }
    });

    // The editor's STR tab holds the host's own selector, which the library knows by identifier.
    host::STRLocusTagSelector::registerDispatchTable();
    registerOutsideControl(str_selector::kProgId,
                           [](QWidget *parent) { return new host::STRLocusTagSelector(parent); });
}

std::shared_ptr<host::SqlStore> openAndInstall(const QString &location, const host::StoreOptions &options)
{
    std::shared_ptr<host::SqlStore> store = host::SqlStore::open(location, options);

    HostFactories factories;
    factories.application = &host::makeFrameworkApplication;
    factories.utilities = &host::makeFrameworkUtilities;
    factories.objects = host::SqlObjectManager::factory(store);
    factories.grids = &host::makeGridUtilities;
    installHostFactories(std::move(factories));
    registerFlows();
    return store;
}

} // namespace veltrane::app
