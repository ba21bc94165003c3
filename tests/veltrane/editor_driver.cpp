#include "editor_driver.h"

#include "page_host.h"
#include "platform/forms/check_box.h"
#include "platform/forms/combo_box.h"
#include "platform/forms/option_button.h"
#include "platform/forms/tab_control.h"
#include "platform/forms/text_box.h"
#include "platform/grid/grid_control.h"
#include "veltrane/contracts/host_services.h"
#include "veltrane/contracts/vocabulary.h"

#include <QPushButton>
#include <QTest>

namespace veltrane::test {

QWidget *EditorDriver::control(const QString &name) const
{
    QWidget *found = page() ? page()->findChild<QWidget *>(name) : nullptr;
    if (!found)
        qFatal("the page has no control named %s", qPrintable(name));
    return found;
}

QVariant EditorDriver::property(const QString &name, const char *property) const
{
    return control(name)->property(property);
}

namespace {

// Brings the tab forward whose page holds the control, as a click on the tab would.
void showTabOf(QWidget *control)
{
    auto *tabs = control->window()->findChild<TabControl *>(QStringLiteral("SSTab1"));
    if (!tabs)
        return;
    for (int i = 0; i < tabs->Tabs(); ++i)
        if (tabs->tabPage(i)->isAncestorOf(control) && tabs->Tab() != i)
            tabs->setTab(i);
}

void clickCell(GridControl *grid, qint32 row, qint32 col, bool twice = false)
{
    const GridControl::CellPoint at = grid->cellPoint(row, col);
    if (!at.widget)
        qFatal("%s shows no cell %d, %d", qPrintable(grid->objectName()), row, col);
    QTest::mouseClick(at.widget, Qt::LeftButton, {}, at.pos);
    if (twice) {
        QTest::mouseDClick(at.widget, Qt::LeftButton, {}, at.pos);
        QTest::mouseRelease(at.widget, Qt::LeftButton, {}, at.pos);
    }
}

} // namespace

void EditorDriver::apply(const QStringList &edits)
{
    for (const QString &edit : edits) {
        const qsizetype at = edit.indexOf(QLatin1Char('='));
        const QString name = edit.left(at);
        const QString value = edit.mid(at + 1);
        QWidget *target = control(name);
        if (auto *text = qobject_cast<TextBox *>(target)) {
            text->setText(value);
        } else if (auto *combo = qobject_cast<ComboBox *>(target)) {
            int index = -1;
            for (int i = 0; i < combo->ListCount(); ++i)
                if (combo->List(i) == value)
                    index = i;
            if (index < 0)
                qFatal("%s has no entry %s", qPrintable(name), qPrintable(value));
            combo->setListIndex(index);
        } else if (auto *check = qobject_cast<CheckBox *>(target)) {
            check->setValue(value.toInt());
        } else if (auto *option = qobject_cast<OptionButton *>(target)) {
            // Clicked on its round box, wherever its layout stretched it.
            showTabOf(option);
            QTest::mouseClick(option, Qt::LeftButton, {}, QPoint(option->height() / 2, option->height() / 2));
        } else if (auto *grid = qobject_cast<GridControl *>(target)) {
            // The rows ticked, exactly: Deselect All, then a click on the box of each.
            showTabOf(grid);
            QTest::mouseClick(control(QStringLiteral("cmdDeselectAll")), Qt::LeftButton);
            for (const QString &row : value.split(u' ', Qt::SkipEmptyParts))
                clickCell(grid, row.toInt(), 1);
        } else if (name.startsWith(QLatin1String("ctl"))) {
            // A locus tag selector: a double click moves the tag of that name to the other grid.
            showTabOf(target);
            bool moved = false;
            for (const char *side : {"gridAvailable", "gridSelected"}) {
                auto *tags = target->findChild<GridControl *>(QLatin1String(side));
                for (qint32 r = 1; tags && r <= tags->rowCount() && !moved; ++r)
                    if (tags->cellText(r, 1) == value) {
                        clickCell(tags, r, 1, true);
                        moved = true;
                    }
            }
            if (!moved)
                qFatal("%s lists no tag %s", qPrintable(name), qPrintable(value));
        } else {
            qFatal("cannot edit %s", qPrintable(name));
        }
    }
}

bool EditorDriver::click(qint32 command)
{
    QPushButton *button = m_window.button(command);
    if (!button || !button->isEnabled())
        return false;
    QTest::mouseClick(button, Qt::LeftButton);
    return m_window.isFinished();
}

EditorOutcome runEditor(const AnalysisParameterPtr &set, bool isNew, const std::function<void(EditorDriver &)> &act)
{
    EditorOutcome outcome;
    outcome.context = newCollection();
    if (isNew)
        outcome.context->Add(QStringLiteral("1"), keys::kIsNew);
    outcome.context->Add(toVariant(set), keys::kAnalysisParameter);
    onNextPage([&](EditorDriver &editor) {
        outcome.shown = true;
        act(editor);
    });
    const ServiceWindowPtr window =
        App().RunService(flows::kEditAnalysisParameters, outcome.context, nullptr,
                         isNew ? flow_options::kEditNewSet : flow_options::kEditExistingSet);
    outcome.cancelled = !window || window->WasCancelled();
    return outcome;
}

void onNextPage(const std::function<void(EditorDriver &)> &act)
{
    onNextWindow([act](host::ServiceWindowDialog &window) {
        EditorDriver page(window);
        act(page);
        if (!window.isFinished())
            window.ExecuteCommand(kCommandCancel);
    });
}

void saveAs(EditorDriver &editor, const QString &name)
{
    onNextPage([name](EditorDriver &page) {
        if (name.isNull())
            return;
        page.apply(QStringLiteral("txtAnalysisParamName=") + name);
        page.click(kCommandCommit);
    });
    editor.click(kCommandSaveAs);
}

namespace {

// A writer gives up on another program's write after two seconds rather than a minute, so a test of
// a held lock stays short.
host::StoreOptions quickToGiveUp()
{
    host::StoreOptions options;
    options.writeWaitMs = 2000;
    return options;
}

} // namespace

EngineHost::EngineHost(const QString &engine)
    : m_location(engine)
    , m_host(std::make_unique<PageHost>(m_location.location(), quickToGiveUp()))
    , m_other(m_host->store().openAnother())
{}

EngineHost::~EngineHost()
{
    m_other.reset();
    m_host.reset(); // before the location, which drops a PostgreSQL schema
}

FragAnalysisParamPtr EngineHost::stored(const QString &name) const
{
    const AnalysisParameterPtr set = m_other->parameterSet(0, name);
    return set ? set->FragAnalysisParam() : FragAnalysisParamPtr();
}

QString EngineHost::storedText(const QString &name) const
{
    const FragAnalysisParamPtr settings = stored(name);
    return settings ? describe(*settings) : QStringLiteral("(not stored)");
}

} // namespace veltrane::test
