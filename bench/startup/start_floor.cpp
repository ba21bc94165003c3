// The start-up benchmark's floor: the plainest program that shows what the application's first page
// shows. It opens the store's SQLite file, fills a combo box with the names of the sets users see,
// reads the summary of the default set and its locus tags, lays the same frames, labels, table and
// buttons out in a dialog, and writes the dialog to a PNG file once it has painted itself.
// Usage: bench_start_floor STORE.sqlite FILE.png

#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QDialog>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <cstdio>

namespace {

const QString kDefaultSet = QStringLiteral("DefaultFragmentAnalysisParameters");
const char *const kModels[] = {"Linear", "Quadratic", "Local Southern", "Cubic", "Quartic"};

QString dateText(qint64 seconds)
{
    return QDateTime::fromSecsSinceEpoch(seconds).toString(QStringLiteral("d MMM yyyy hh:mm:ss"));
}

// Grabs the dialog once it has painted itself, as a user first sees it, then ends the program.
class Dialog : public QDialog
{
public:
    explicit Dialog(QString file)
        : m_file(std::move(file))
    {}
    bool saved = false;

protected:
    void paintEvent(QPaintEvent *event) override
    {
        QDialog::paintEvent(event);
        if (m_painted)
            return;
        m_painted = true;
        QTimer::singleShot(0, this, [this] {
            saved = grab().toImage().save(m_file, "PNG");
            reject();
        });
    }

private:
    QString m_file;
    bool m_painted = false;
};

} // namespace

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: bench_start_floor STORE.sqlite FILE.png\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"));
    db.setDatabaseName(QString::fromLocal8Bit(argv[1]));
    if (!db.open())
        return 1;

    Dialog dialog(QString::fromLocal8Bit(argv[2]));
    dialog.setWindowTitle(QStringLiteral("Analysis Parameters"));
    auto *outer = new QVBoxLayout(&dialog);

    auto *select = new QGroupBox(QStringLiteral("Select Analysis Parameter Set"));
    auto *selectRow = new QHBoxLayout(select);
    auto *sets = new QComboBox;
    sets->setMinimumContentsLength(36);
    QSqlQuery q(db);
    q.setForwardOnly(true);
    q.exec(QStringLiteral("SELECT id, name FROM parameter_sets WHERE (attributes & 4) = 0 ORDER BY name_key, id"));
    while (q.next())
        sets->addItem(q.value(1).toString(), q.value(0).toInt());
    sets->setCurrentIndex(std::max(0, sets->findText(kDefaultSet)));
    selectRow->addWidget(sets, 1);
    selectRow->addWidget(new QPushButton(QStringLiteral("&New")));
    selectRow->addWidget(new QPushButton(QStringLiteral("E&dit")));
    outer->addWidget(select);

    const int id = sets->currentData().toInt();
    auto *summary = new QGroupBox(QStringLiteral("Parameter Set Summary"));
    auto *rows = new QGridLayout(summary);
    q.prepare(QStringLiteral("SELECT p.project_name, p.date_modified, s.name, c.name, e.model_index "
                             "FROM parameter_sets p LEFT JOIN size_standards s ON s.id = p.size_standard_id "
                             "LEFT JOIN mobility_calibrations c ON c.id = p.mobility_calibration_id "
                             "LEFT JOIN set_entries e ON e.set_id = p.id AND e.entry_index = 0 WHERE p.id = ?"));
    q.addBindValue(id);
    q.exec();
    q.next();
    const int model = q.value(4).toInt();
    const QString values[] = {q.value(0).toString(), dateText(q.value(1).toLongLong()),
                              q.isNull(2) ? QStringLiteral("(none)") : q.value(2).toString(),
                              QLatin1String(kModels[model >= 0 && model < 5 ? model : 0]), q.value(3).toString()};
    const char *captions[] = {"Project:", "Date Modified:", "Size Standard:", "Model:", "Dye Mobility Calibration:"};
    for (int r = 0; r < 5; ++r) {
        rows->addWidget(new QLabel(QLatin1String(captions[r])), r, 0);
        auto *value = new QLabel(values[r]);
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        rows->addWidget(value, r, 1);
    }
    rows->setColumnStretch(1, 1);
    outer->addWidget(summary);

    auto *tags = new QGroupBox(QStringLiteral("Locus Tags"));
    auto *tagsBox = new QVBoxLayout(tags);
    auto *table = new QTableWidget(0, 2);
    q.exec(
        QStringLiteral("SELECT title, width_twips FROM grid_type_columns WHERE grid_type_id = 16 ORDER BY position"));
    QStringList titles;
    QList<int> widths;
    while (q.next()) {
        titles << q.value(0).toString();
        widths << q.value(1).toInt() / 15; // twips at 96 dots per inch
    }
    table->setHorizontalHeaderLabels(titles);
    for (int c = 0; c < widths.size(); ++c)
        table->setColumnWidth(c, widths.at(c));
    table->verticalHeader()->hide();
    table->setFixedHeight(1530 / 15);
    q.prepare(
        QStringLiteral("SELECT t.name, t.date_modified FROM set_str_tags l JOIN str_locus_tags t ON t.id = l.tag_id "
                       "WHERE l.set_id = ? AND l.entry_index = 0 ORDER BY l.position"));
    q.addBindValue(id);
    q.exec();
    QList<std::pair<QString, qint64>> lines;
    while (q.next())
        lines.append({q.value(0).toString(), q.value(1).toLongLong()});
    q.prepare(
        QStringLiteral("SELECT t.name, t.date_modified FROM set_snp_tags l JOIN snp_locus_tags t ON t.id = l.tag_id "
                       "WHERE l.set_id = ? AND l.entry_index = 0 ORDER BY l.position"));
    q.addBindValue(id);
    q.exec();
    while (q.next())
        lines.append({q.value(0).toString(), q.value(1).toLongLong()});
    table->setRowCount(int(lines.size()));
    for (int r = 0; r < lines.size(); ++r) {
        table->setItem(r, 0, new QTableWidgetItem(lines.at(r).first));
        table->setItem(r, 1, new QTableWidgetItem(dateText(lines.at(r).second)));
    }
    tagsBox->addWidget(table);
    outer->addWidget(tags);
    outer->addStretch(1);

    auto *line = new QFrame;
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    outer->addWidget(line);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    auto *ok = new QPushButton(QStringLiteral("OK"));
    ok->setEnabled(false);
    buttons->addWidget(ok);
    buttons->addWidget(new QPushButton(QStringLiteral("Cancel")));
    outer->addLayout(buttons);

    dialog.exec();
    return dialog.saved ? 0 : 1;
}
