#include "host/snp_tag_editor/snp_tag_editor_page.h"
#include "platform/forms/label.h"
#include "platform/forms/text_box.h"
#include "support/data_rows.h"
#include "veltrane/contracts/host_services.h"
#include "veltrane/page_host.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QLocale>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace veltrane;
using namespace veltrane::test;

namespace {

SNPLocusTagPtr storeTag(const QString &name, float number)
{
    auto tag = qSharedPointerObjectCast<SNPLocusTag>(ObjectManager().NewObject(QStringLiteral("SNPLocusTag")));
    tag->TagData()->setName(name);
    tag->TagData()->setTagNumber(number);
    tag->TagData()->setTagText(2, QStringLiteral("A/G"));
    tag->Commit();
    return tag;
}

SNPLocusTagSettingsPtr storedTag(const QString &name)
{
    try {
        return qSharedPointerObjectCast<SNPLocusTag>(
                   ObjectManager().LoadObject(QStringLiteral("SNPLocusTag"), QStringLiteral("Name"), name))
            ->TagData();
    } catch (const Error &) {
        return {};
    }
}

TextBox *field(QWidget *window, const QString &name)
{
    return window->findChild<TextBox *>(name);
}

void type(QWidget *window, const QString &name, const QString &text)
{
    TextBox *box = field(window, name);
    QVERIFY2(box, qPrintable(name));
    box->selectAll();
    const bool typeable = std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() < 0x80; });
    if (text.isEmpty())
        QTest::keyClick(box, Qt::Key_Delete);
    else if (typeable)
        QTest::keyClicks(box, text);
    else
        box->insert(text); // pasted, as what no keyboard has is entered
}

struct Outcome
{
    bool cancelled = false;
    CollectionPtr context;
};

// Runs the editor flow on the tag; script acts in the window.
Outcome runEditor(const SNPLocusTagPtr &tag, std::function<void(host::ServiceWindowDialog &)> script)
{
    Outcome outcome;
    outcome.context = newCollection();
    outcome.context->Add(tag, QStringLiteral("SNPLocusTag"));
    onNextWindow(std::move(script));
    const ServiceWindowPtr window = App().RunService(QStringLiteral("SNPLocusTagEditor"), outcome.context, nullptr,
                                                     flow_options::kSNPLocusTagEditor);
    outcome.cancelled = window->WasCancelled();
    return outcome;
}

int saveTimes(const Outcome &outcome)
{
    return outcome.context->Contains(QStringLiteral("SaveTimes"))
               ? outcome.context->Item(QStringLiteral("SaveTimes")).toInt()
               : 0;
}

} // namespace

class TestSnpTagEditor : public QObject
{
    Q_OBJECT
private slots:
    void cleanup() { host::SnpTagEditorPage::setNameAsker({}); }
    void refusesWhatCannotBeStored_data();
    void refusesWhatCannotBeStored();
    void saveStoresTheTagAndCounts_data();
    void saveStoresTheTagAndCounts();
    void saveAsStoresACopyAndHandsItBack();
    void saveAsDialogKeepsAskingWhileTheNameIsTaken();
    void cancelAfterASaveKeepsTheCount();
};

void TestSnpTagEditor::refusesWhatCannotBeStored_data()
{
    // refused: the field that turns yellow
    columns<QString, QString, QString>("fieldName", "text", "refused");
    row("empty name", "txtName", "", "txtName");
    row("blank name", "txtName", "   ", "txtName");
    row("another tag's name in other case", "txtName", "RS2  ", "txtName");
    row("number that is none", "txtTagNumber", "12x", "txtTagNumber");
    row("number past single precision", "txtTagNumber", "3.4028236e38", "txtTagNumber");
    row("an invisible character in the name", "txtName", "rs\u200B3", "txtName");
    row("a line separator in a text", "txtTagText2", "A\u2028B", "txtTagText2");
}

void TestSnpTagEditor::refusesWhatCannotBeStored()
{
    QFETCH(QString, fieldName);
    QFETCH(QString, text);
    QFETCH(QString, refused);
    PageHost host(false);
    const SNPLocusTagPtr tag = storeTag(QStringLiteral("rs1"), 1.5f);
    storeTag(QStringLiteral("rs2"), 2);
    bool checked = false;
    bool askedForName = false;
    host::SnpTagEditorPage::setNameAsker(
        [&](QWidget *, const QString &, const std::function<QString(const QString &)> &) -> std::optional<QString> {
            askedForName = true;
            return std::nullopt;
        });
    const Outcome outcome = runEditor(tag, [&](host::ServiceWindowDialog &window) {
        type(&window, fieldName, text);
        clickCommand(window, 1);
        QVERIFY(!window.isFinished()); // the user stays on the page
        QCOMPARE(field(&window, refused)->BackColor(), 0x00FFFFu);
        QVERIFY(!field(&window, refused)->ToolTipText().isEmpty());
        QVERIFY(!window.findChild<Label *>(QStringLiteral("lblMessage"))->Caption().isEmpty());
        // Save As asks for the name it replaces, but not past a number that is none.
        clickCommand(window, 3);
        checked = true;
        clickCommand(window, 2);
    });
    QVERIFY(checked);
    QCOMPARE(askedForName, refused == QLatin1String("txtName"));
    QVERIFY(outcome.cancelled);
    QCOMPARE(saveTimes(outcome), 0);
    QCOMPARE(tag->TagData()->Name(), QStringLiteral("rs1")); // the object was not touched
    QCOMPARE(storedTag(QStringLiteral("rs1"))->TagNumber(), 1.5f);
    QVERIFY(host.shownReports().isEmpty());
}

void TestSnpTagEditor::saveStoresTheTagAndCounts_data()
{
    columns<bool, QString, QString>("isNew", "name", "number");
    row("stored tag, same name in other case", false, "RS1", "42.5");
    row("stored tag renamed", false, "rs1b", "-0.25");
    row("new tag, a number of single precision's largest", true, "rs9", "3.4028234e38");
    row("new tag, as long a name as a tag may have", true, QString(limits::kNameLength, QLatin1Char('n')), "1");
}

void TestSnpTagEditor::saveStoresTheTagAndCounts()
{
    QFETCH(bool, isNew);
    QFETCH(QString, name);
    QFETCH(QString, number);
    PageHost host(false);
    const SNPLocusTagPtr tag =
        isNew ? qSharedPointerObjectCast<SNPLocusTag>(ObjectManager().NewObject(QStringLiteral("SNPLocusTag")))
              : storeTag(QStringLiteral("rs1"), 1.5f);
    QString title;
    const Outcome outcome = runEditor(tag, [&](host::ServiceWindowDialog &window) {
        title = window.Title();
        type(&window, QStringLiteral("txtName"), name);
        type(&window, QStringLiteral("txtTagNumber"), number);
        type(&window, QStringLiteral("txtTagText3"), QStringLiteral("promoter"));
        clickCommand(window, 1);
    });
    QCOMPARE(title, isNew ? QStringLiteral("New SNP Locus Tag") : QStringLiteral("SNP Locus Tag rs1"));
    QVERIFY(!outcome.cancelled);
    QCOMPARE(saveTimes(outcome), 1);
    QVERIFY(!outcome.context->Contains(QStringLiteral("NewSaveAs")));
    QCOMPARE(tag->TagData()->Name(), name);
    QVERIFY(tag->TagData()->ID() > 0);
    const SNPLocusTagSettingsPtr now = storedTag(name);
    QVERIFY(now);
    QCOMPARE(now->ID(), tag->TagData()->ID());
    QCOMPARE(now->TagNumber(), QLocale::c().toFloat(number));
    QCOMPARE(now->TagText(3), QStringLiteral("promoter"));
    if (!isNew)
        QCOMPARE(now->TagText(2), QStringLiteral("A/G")); // what was not edited stays
}

void TestSnpTagEditor::saveAsStoresACopyAndHandsItBack()
{
    PageHost host(false);
    const SNPLocusTagPtr tag = storeTag(QStringLiteral("rs1"), 1.5f);
    QString proposed;
    host::SnpTagEditorPage::setNameAsker(
        [&](QWidget *, const QString &proposal,
            const std::function<QString(const QString &)> &problem) -> std::optional<QString> {
            proposed = proposal;
            if (!problem(QStringLiteral("rs1")).isEmpty() && problem(QStringLiteral("rs1 copy")).isEmpty())
                return QStringLiteral("rs1 copy");
            return std::nullopt;
        });
    const Outcome outcome = runEditor(tag, [&](host::ServiceWindowDialog &window) {
        type(&window, QStringLiteral("txtTagNumber"), QStringLiteral("7"));
        clickCommand(window, 3);
        QCOMPARE(field(&window, QStringLiteral("txtName"))->Text(), QStringLiteral("rs1 copy"));
        QCOMPARE(window.Title(), QStringLiteral("SNP Locus Tag rs1 copy"));
        type(&window, QStringLiteral("txtTagNumber"), QStringLiteral("8"));
        clickCommand(window, 1);
    });
    QCOMPARE(proposed, QStringLiteral("Copy of rs1"));
    QVERIFY(!outcome.cancelled);
    QCOMPARE(saveTimes(outcome), 2);
    const auto copy = outcome.context->Object<SNPLocusTag>(QStringLiteral("NewSaveAs"));
    QVERIFY(copy);
    QCOMPARE(copy->Name(), QStringLiteral("rs1 copy"));
    QVERIFY(copy->TagData()->ID() != tag->TagData()->ID());
    QCOMPARE(storedTag(QStringLiteral("rs1 copy"))->TagNumber(), 8.0f); // the final Save stored the copy
    QCOMPARE(storedTag(QStringLiteral("rs1"))->TagNumber(), 1.5f);      // the first tag as it was
    QCOMPARE(tag->TagData()->TagNumber(), 1.5f);
}

void TestSnpTagEditor::saveAsDialogKeepsAskingWhileTheNameIsTaken()
{
    PageHost host(false);
    const SNPLocusTagPtr tag = storeTag(QStringLiteral("rs1"), 1.5f);
    storeTag(QStringLiteral("rs2"), 2);
    QStringList messages;
    const Outcome outcome = runEditor(tag, [&](host::ServiceWindowDialog &window) {
        QTimer::singleShot(0, [&] {
            auto *dialog = qobject_cast<host::SaveTagAsDialog *>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            auto *save = dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Save);
            for (const QString &name : {QStringLiteral("RS2"), QStringLiteral("rs1"), QStringLiteral("rs3")}) {
                type(dialog, QStringLiteral("txtNewName"), name);
                QTest::mouseClick(save, Qt::LeftButton);
                messages << dialog->findChild<Label *>(QStringLiteral("lblMessage"))->Caption();
                if (!dialog->isVisible())
                    break;
            }
        });
        clickCommand(window, 3);
        clickCommand(window, 2);
    });
    QCOMPARE(messages.size(), 3);
    QVERIFY(!messages.at(0).isEmpty());
    QVERIFY(!messages.at(1).isEmpty()); // the copy needs a name of its own
    QVERIFY(outcome.cancelled);
    QCOMPARE(saveTimes(outcome), 1);
    QVERIFY(storedTag(QStringLiteral("rs3")));
}

void TestSnpTagEditor::cancelAfterASaveKeepsTheCount()
{
    PageHost host(false);
    const SNPLocusTagPtr tag =
        qSharedPointerObjectCast<SNPLocusTag>(ObjectManager().NewObject(QStringLiteral("SNPLocusTag")));
    host::SnpTagEditorPage::setNameAsker(
        [](QWidget *, const QString &, const std::function<QString(const QString &)> &) -> std::optional<QString> {
            return QStringLiteral("n2");
        });
    const Outcome outcome = runEditor(tag, [&](host::ServiceWindowDialog &window) {
        type(&window, QStringLiteral("txtName"), QStringLiteral("n1"));
        clickCommand(window, 3);
        clickCommand(window, 2);
    });
    QVERIFY(outcome.cancelled);
    QCOMPARE(saveTimes(outcome), 1);
    QCOMPARE(outcome.context->Object<SNPLocusTag>(QStringLiteral("NewSaveAs"))->Name(), QStringLiteral("n2"));
    QVERIFY(storedTag(QStringLiteral("n2")));
    QVERIFY(!storedTag(QStringLiteral("n1"))); // the new tag itself was never saved
    QVERIFY(tag->TagData()->Name().isEmpty());
}

QTEST_MAIN(TestSnpTagEditor)
#include "test_snp_tag_editor.moc"
