#include "app/import_window.h"

#include "host/objects/json_exchange.h"
#include "veltrane/contracts/error.h"
#include "veltrane/contracts/object_services.h"
#include "veltrane/contracts/vocabulary.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace veltrane::app {

namespace {

QString countOfSets(qsizetype count)
{
    return count == 1 ? QStringLiteral("1 parameter set") : QStringLiteral("%1 parameter sets").arg(count);
}

} // namespace

ImportWindow::ImportWindow(host::SqlStore &store, const QString &file, QWidget *parent)
    : QDialog(parent)
    , m_store(store)
    , m_file(file)
{
    setObjectName(QStringLiteral("ImportWindow"));
    setWindowTitle(QStringLiteral("Import Parameter Sets"));
    m_heading = new QLabel(QStringLiteral("&Parameter sets in %1:").arg(QFileInfo(file).fileName()), this);
    m_heading->setTextFormat(Qt::PlainText);
    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("lstSets"));
    m_heading->setBuddy(m_list);
    // Qt's lists take no name from their label.
    m_list->setAccessibleName(QString(m_heading->text()).remove(QLatin1Char('&')).chopped(1));
    m_replace = new QCheckBox(QStringLiteral("&Replace stored sets of the same names"), this);
    m_replace->setObjectName(QStringLiteral("chkReplace"));
    m_outcome = new QLabel(this);
    m_outcome->setObjectName(QStringLiteral("lblOutcome"));
    m_outcome->setTextFormat(Qt::PlainText);
    m_outcome->setWordWrap(true);
    m_outcome->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_buttons = new QDialogButtonBox(this);
    m_import = m_buttons->addButton(QStringLiteral("&Import"), QDialogButtonBox::ActionRole);
    m_import->setObjectName(QStringLiteral("cmdImport"));
    m_import->setDefault(true);
    m_buttons->addButton(QDialogButtonBox::Close)->setObjectName(QStringLiteral("cmdClose"));

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_heading);
    layout->addWidget(m_list, 1);
    layout->addWidget(m_replace);
    layout->addWidget(m_outcome);
    layout->addWidget(m_buttons);

    connect(m_replace, &QCheckBox::toggled, this, &ImportWindow::showSets);
    connect(m_import, &QPushButton::clicked, this, &ImportWindow::importFile);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    readFile();
    showSets();
    resize(sizeHint().expandedTo(QSize(fontMetrics().averageCharWidth() * 60, fontMetrics().height() * 20)));
}

void ImportWindow::readFile()
{
    // The file is read into a scratch store first: every set it holds is known, and a file that
    // cannot be imported is told apart, before anything reaches the store.
    try {
        host::StoreOptions scratch;
        scratch.seed = false;
        const host::ImportReport report =
            host::importStoreFromFile(*host::SqlStore::open(QStringLiteral(":memory:"), scratch), m_file);
        m_sets = report.sets;
    } catch (const Error &e) {
        m_sets.clear();
        m_outcome->setText(QStringLiteral("This file cannot be imported: %1").arg(e.description()));
        return;
    }
    const CollectionPtr stored =
        ObjectManager().LoadCollection(queries::kAnalysisParameters, QString(), QString(), fields::kName, false, true);
    for (const QString &name : std::as_const(m_sets)) {
        Stored state = Stored::No;
        if (stored->Contains(name)) {
            const FragAnalysisParamPtr settings = stored->Object<AnalysisParameter>(name)->FragAnalysisParam();
            state = settings && settings->isReadOnly() ? Stored::ReadOnly : Stored::Yes;
        }
        m_stored.append(state);
    }
}

void ImportWindow::showSets()
{
    const bool replace = m_replace->isChecked();
    m_list->clear();
    qsizetype storedSets = 0;
    qsizetype readOnly = 0;
    for (qsizetype i = 0; i < m_sets.size(); ++i) {
        QString state;
        switch (m_stored.at(i)) {
        case Stored::No:
            state = m_imported ? QStringLiteral("imported") : QStringLiteral("new");
            break;
        case Stored::Yes:
            ++storedSets;
            state = m_imported ? QStringLiteral("replaced the stored set")
                    : replace  ? QStringLiteral("replaces the stored set")
                               : QStringLiteral("stored already");
            break;
        case Stored::ReadOnly:
            ++readOnly;
            state = QStringLiteral("stored read-only, never replaced");
            break;
        }
        m_list->addItem(QStringLiteral("%1: %2").arg(m_sets.at(i), state));
    }
    m_replace->setEnabled(!m_imported && storedSets > 0);
    m_import->setEnabled(!m_imported && !m_sets.isEmpty() && readOnly == 0 && (replace || storedSets == 0));
    if (m_imported || m_sets.isEmpty())
        return; // the outcome or the reason the file cannot be read stays
    if (readOnly > 0)
        m_outcome->setText(QStringLiteral("The file cannot be imported into this store: it would replace read-only "
                                          "sets. Import it into another store (veltrane --db), or export the other "
                                          "sets without them."));
    else if (storedSets == 1 && !replace)
        m_outcome->setText(QStringLiteral("One of these sets is stored already: tick Replace to write over it."));
    else if (storedSets > 1 && !replace)
        m_outcome->setText(
            QStringLiteral("%1 of these sets are stored already: tick Replace to write over them.").arg(storedSets));
    else
        m_outcome->setText(QStringLiteral("Import stores %1 in one step, or nothing.").arg(countOfSets(m_sets.size())));
}

void ImportWindow::importFile()
{
    if (!m_import->isEnabled())
        return;
    host::ImportOptions options;
    options.replaceExisting = m_replace->isChecked();
    try {
        const host::ImportReport report = host::importStoreFromFile(m_store, m_file, options);
        m_imported = true;
        QString outcome = QStringLiteral("Imported %1").arg(countOfSets(report.sets.size()));
        if (!report.replaced.isEmpty())
            outcome += QStringLiteral(", %1 of them over stored sets").arg(report.replaced.size());
        outcome += QLatin1Char('.');
        for (const QString &note : report.notes)
            outcome += QStringLiteral("\nNote: ") + note;
        m_outcome->setText(outcome);
    } catch (const Error &e) {
        m_outcome->setText(QStringLiteral("Nothing was imported: %1").arg(e.description()));
    }
    showSets();
}

} // namespace veltrane::app
