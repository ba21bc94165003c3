#include "editor_harness.h"

#include "platform/forms/combo_box.h"
#include "platform/forms/tab_control.h"
#include "platform/forms/text_box.h"
#include "platform/grid/grid_control.h"
#include "veltrane/analysis_page/analysis_param_page.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QRandomGenerator>
#include <QTabBar>
#include <QTest>
#include <QVBoxLayout>

namespace veltrane::test {

EditorHarness::EditorHarness(PageHost &host)
    : m_host(host)
{}

EditorHarness::~EditorHarness()
{
    if (m_page)
        pageBase()->detach();
}

PageBase *EditorHarness::pageBase() const
{
    return static_cast<IPageAccess *>(m_page)->Page();
}

bool EditorHarness::open(const AnalysisParameterPtr &set, bool asNew)
{
    m_window = std::make_unique<QWidget>();
    m_window->resize(900, 760);
    auto *layout = new QVBoxLayout(m_window.get());
    m_page = new AnalysisParamPage(m_window.get());
    layout->addWidget(m_page);
    m_context = newCollection();
    m_context->Add(toVariant(set), QStringLiteral("AnalysisParameter"));
    if (asNew)
        m_context->Add(QStringLiteral("IsNew"), QStringLiteral("IsNew"));
    pageBase()->attach(this);
    pageBase()->raiseInitialize();
    pageBase()->raiseActivate();
    m_window->show();
    m_window->activateWindow();
    return QTest::qWaitForWindowActive(m_window.get());
}

TextBox *EditorHarness::field(const QString &name) const
{
    return control<TextBox>(name);
}

GridControl *EditorHarness::grid(const QString &name) const
{
    return control<GridControl>(name);
}

void EditorHarness::showTab(int tab)
{
    QTabBar *bar = control<TabControl>(QStringLiteral("SSTab1"))->tabBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(tab).center());
}

void EditorHarness::click(QWidget *widget, QPoint pos)
{
    QTest::mouseClick(widget, Qt::LeftButton, {}, pos.isNull() ? widget->rect().center() : pos);
}

void EditorHarness::clickInto(QWidget *control)
{
    click(control);
}

void EditorHarness::tabInto(QWidget *control)
{
    // Start from the control before it that takes the focus by Tab, then press Tab once.
    QWidget *before = control->previousInFocusChain();
    while (before != control &&
           !(before->isVisible() && before->isEnabled() && (before->focusPolicy() & Qt::TabFocus) == Qt::TabFocus))
        before = before->previousInFocusChain();
    before->setFocus(Qt::OtherFocusReason);
    QTest::keyClick(before, Qt::Key_Tab);
}

void EditorHarness::type(QWidget *control, const QString &text)
{
    for (const QChar ch : text) {
        if (ch == QLatin1Char('\b'))
            QTest::keyClick(control, Qt::Key_Backspace);
        else
            QTest::keyClicks(control, QString(ch));
    }
}

void EditorHarness::tabOut()
{
    QWidget *focused = QApplication::focusWidget();
    if (focused)
        QTest::keyClick(focused, Qt::Key_Tab);
}

void EditorHarness::clickCell(GridControl *grid, qint32 row, qint32 col)
{
    const GridControl::CellPoint point = grid->cellPoint(row, col);
    QTest::mouseClick(point.widget, Qt::LeftButton, {}, point.pos);
}

void EditorHarness::clickBox(QWidget *button)
{
    click(button, QPoint(button->height() / 2, button->height() / 2));
}

bool EditorHarness::choose(ComboBox *list, const QString &entry)
{
    const int index = list->findText(entry);
    if (index < 0)
        return false;
    list->showPopup();
    QAbstractItemView *view = list->view();
    const QModelIndex item = view->model()->index(index, 0);
    view->scrollTo(item);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(item).center());
    return list->currentIndex() == index;
}

AnalysisParameterPtr storeCopyOfDefault(PageHost &host, const QString &name,
                                        const std::function<void(FragAnalysisParam &)> &fill)
{
    const FragAnalysisParamPtr settings =
        host.loadSet(QStringLiteral("DefaultFragmentAnalysisParameters"))->FragAnalysisParam();
    settings->setName(name);
    settings->setAttributes(0);
    if (fill)
        fill(*settings);
    settings->Commit();
    return host.loadSet(name);
}

quint32 testSeed()
{
    bool ok = false;
    const quint32 seed = qEnvironmentVariable("VELTRANE_TEST_SEED").toUInt(&ok);
    return ok ? seed : QRandomGenerator::global()->generate();
}

} // namespace veltrane::test
