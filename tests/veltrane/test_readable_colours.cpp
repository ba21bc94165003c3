// Wherever the pages colour a control (a field in error yellow, the peak requirement red or black, a
// switched-off SNP selector grey on the button face), its text reads on its background in the light
// and in the dark palette, while the automation surface still answers the colour values set.

#include "editor_harness.h"
#include "support/data_rows.h"

#include "platform/forms/colors.h"
#include "platform/forms/command_button.h"
#include "platform/forms/form_control.h"
#include "platform/forms/text_box.h"
#include "platform/grid/grid_control.h"
#include "veltrane/analysis_page/analysis_param_page.h"
#include "veltrane/contracts/host_services.h"

#include <QApplication>
#include <QStyle>
#include <QTest>

using namespace veltrane;
using namespace veltrane::test;

namespace {

// Every control under root whose text does not read on its background, with the two colours.
QStringList unreadable(const QWidget &root)
{
    QStringList found;
    for (QWidget *w : root.findChildren<QWidget *>()) {
        QColor text, back;
        if (const auto *control = dynamic_cast<const FormControl *>(w)) {
            text = control->drawnText();
            back = control->drawnBackground();
        } else if (const auto *grid = qobject_cast<const GridControl *>(w)) {
            text = grid->palette().color(QPalette::Active, QPalette::Text);
            back = grid->palette().color(QPalette::Active, QPalette::Base);
        } else {
            continue;
        }
        const double ratio = colors::contrastRatio(text, back);
        if (ratio < colors::kReadableContrast)
            found << QStringLiteral("%1: %2 on %3 (%4:1)")
                         .arg(w->objectName(), text.name(), back.name())
                         .arg(ratio, 0, 'f', 2);
    }
    return found;
}

// A control's colour property as the automation surface answers it.
quint32 colour(const QWidget *control, const char *property)
{
    return control ? control->property(property).value<quint32>() : 0xFFFFFFFFu;
}

} // namespace

class TestReadableColours : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        QFETCH(bool, dark);
        QApplication::setPalette(dark ? colors::darkPalette() : QApplication::style()->standardPalette());
    }
    void cleanup() { QApplication::setPalette(QApplication::style()->standardPalette()); }

    void editorStates_data();
    void editorStates();
    void snpTagEditorInError_data() { palettes(); }
    void snpTagEditorInError();

private:
    static void palettes()
    {
        QTest::addColumn<bool>("dark");
        row("light", false);
        row("dark", true);
    }
};

void TestReadableColours::editorStates_data()
{
    // colours: "control.Property=value" the state sets
    columns<bool, QString, QStringList>("dark", "state", "colours");

    const QStringList states[] = {
        {QStringLiteral("fields in error"), QStringLiteral("txtParameterSetName.BackColor=65535"),
         QStringLiteral("txtConfidenceLevel.BackColor=65535")},
        {QStringLiteral("too few peaks"), QStringLiteral("lblRequirements.ForeColor=255")},
        {QStringLiteral("enough peaks"), QStringLiteral("lblRequirements.ForeColor=0")},
        {QStringLiteral("SNP selector off"), QStringLiteral("gridAvailable.BackColor=2147483663"),
         QStringLiteral("gridAvailable.ForeColor=2147483665")},
        {QStringLiteral("SNP selector on"), QStringLiteral("gridSelected.BackColor=16777215"),
         QStringLiteral("gridSelected.ForeColor=0")},
    };
    for (const bool dark : {false, true})
        for (const QStringList &state : states)
            QTest::addRow("%s, %s", qPrintable(state.first()), dark ? "dark" : "light")
                << dark << state.first() << state.mid(1);
}

void TestReadableColours::editorStates()
{
    QFETCH(QString, state);
    QFETCH(QStringList, colours);

    PageHost host;
    EditorHarness ui(host);
    const bool isNew = state == QLatin1String("fields in error");
    QVERIFY(ui.open(host.loadSet(QStringLiteral("DefaultFragmentAnalysisParameters")), isNew));
    QWidget *selector = ui.control<QWidget>(QStringLiteral("ctlSNPLocusTagSelector"));
    if (isNew) {
        ui.field(QStringLiteral("txtConfidenceLevel"))->setText(QStringLiteral("20"));
        QVERIFY(!ui.validate());
    } else if (state == QLatin1String("too few peaks")) {
        ui.showTab(1);
        ui.click(ui.control<CommandButton>(QStringLiteral("cmdDeselectAll")));
    } else if (state.startsWith(QLatin1String("SNP selector"))) {
        selector->setProperty("Enabled", false);
        if (state.endsWith(QLatin1String("on")))
            selector->setProperty("Enabled", true);
    }

    for (const QString &expected : colours) {
        const QString name = expected.section(u'.', 0, 0);
        const QByteArray property = expected.section(u'.', 1).section(u'=', 0, 0).toLatin1();
        QCOMPARE(colour(ui.control<QWidget>(name), property.constData()), expected.section(u'=', 1).toUInt());
    }
    const QStringList problems = unreadable(ui.page());
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QStringLiteral("; "))));
}

void TestReadableColours::snpTagEditorInError()
{
    PageHost host;
    QStringList problems;
    quint32 nameBack = 0;
    quint32 messageFore = 0;
    onNextWindow([&](host::ServiceWindowDialog &window) {
        auto *name = window.findChild<TextBox *>(QStringLiteral("txtName"));
        QVERIFY(name);
        name->setText(QString());
        clickCommand(window, kCommandCommit); // refused: the field turns yellow, the message red
        nameBack = colour(name, "BackColor");
        messageFore = colour(window.findChild<QWidget *>(QStringLiteral("lblMessage")), "ForeColor");
        problems = unreadable(window);
        window.ExecuteCommand(kCommandCancel);
    });
    CollectionPtr context = newCollection();
    context->Add(toVariant(ObjectManager().NewObject(QStringLiteral("SNPLocusTag"))), keys::kSNPLocusTag);
    App().RunService(flows::kSNPLocusTagEditor, context, nullptr, flow_options::kSNPLocusTagEditor);
    QCOMPARE(nameBack, colors::kYellow);
    QCOMPARE(messageFore, colors::kRed);
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QStringLiteral("; "))));
}

QTEST_MAIN(TestReadableColours)
#include "test_readable_colours.moc"
