#include "app/admin_commands.h"

#include "host/objects/store_admin.h"
#include "veltrane/contracts/stored_rules.h"

namespace veltrane::app {

namespace {

const QString kRoleChoice = QStringLiteral("reader, analyst or administrator");

} // namespace

QString adminUsageError(const QStringList &args)
{
    const QString sub = args.value(0);
    if (sub == QLatin1String("setup") || sub == QLatin1String("roles"))
        return args.size() == 1 ? QString() : QStringLiteral("admin %1 takes no arguments").arg(sub);
    if (sub == QLatin1String("grant") || sub == QLatin1String("revoke")) {
        if (args.size() != 3)
            return QStringLiteral("admin %1 takes a login name and a role (%2)").arg(sub, kRoleChoice);
        if (!host::roleFromWord(args.at(2)))
            return QStringLiteral("the role \"%1\" is none of %2").arg(args.at(2), kRoleChoice);
        return {};
    }
    return QStringLiteral("admin takes setup, grant LOGIN ROLE, revoke LOGIN ROLE or roles");
}

void runAdminCommand(CommandIO io, host::SqlStore &store, const QStringList &args)
{
    const QString sub = args.first();
    if (sub == QLatin1String("setup")) {
        const host::RoleSetup done = host::setupRoles(store);
        if (!done.createdRoles.isEmpty())
            io.out << "Created the roles " << done.createdRoles.join(QStringLiteral(", ")) << ".\n";
        io.out << (done.wasSetUp ? "The roles of the store at " : "Set up the roles of the store at ")
               << printable(store.location())
               << (done.wasSetUp ? " were set up already; their grants are complete.\n"
                                 : ". Give logins a role with admin grant.\n");
        return;
    }
    if (sub == QLatin1String("roles")) {
        for (const host::RoleMember &m : host::roleMembers(store)) {
            io.out << printable(m.login) << '\t' << (m.role ? host::roleWord(*m.role) : QStringLiteral("owner"));
            if (!m.canLogin)
                io.out << "\t(cannot log in)";
            io.out << '\n';
        }
        return;
    }
    const QString login = args.at(1);
    const host::StoreRole role = *host::roleFromWord(args.at(2));
    if (sub == QLatin1String("grant")) {
        host::grantRole(store, login, role);
        io.out << printable(login) << " is " << (role == host::StoreRole::Reader ? "a " : "an ") << host::roleWord(role)
               << " of the store now.\n";
    } else {
        host::revokeRole(store, login, role);
        io.out << printable(login) << " is no longer " << (role == host::StoreRole::Reader ? "a " : "an ")
               << host::roleWord(role) << " of the store.\n";
    }
}

} // namespace veltrane::app
