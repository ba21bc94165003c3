// What the page framework and the form controls add over plain Qt, on the paths the pages repeat:
// filling a drop-down list with every stored parameter set (the selection page reloads it on each
// Activate), typing through a keystroke filter, and opening and committing a flow window.
// Each BM_X runs beside its floor BM_X_Floor; the program prints X / floor for each pair at the end.

#include "host/framework/flow_registry.h"
#include "host/framework/framework_factories.h"
#include "host/framework/service_window_dialog.h"
#include "platform/forms/combo_box.h"
#include "platform/forms/text_box.h"
#include "veltrane/contracts/host_services.h"

#include "support/ratio_reporter.h"
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QFrame>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QTimer>
#include <QVBoxLayout>

#include <benchmark/benchmark.h>
#include <cstdio>
#include <map>

using namespace veltrane;

namespace {

constexpr int kSets = 500;
constexpr int kKeys = 2000;

const QStringList &setNames()
{
    static const QStringList names = [] {
        QStringList out;
        for (int i = 0; i < kSets; ++i)
            out << QStringLiteral("Fragment analysis set %1").arg(i, 4, 10, QLatin1Char('0'));
        return out;
    }();
    return names;
}

void BM_FillList(benchmark::State &state)
{
    ComboBox combo;
    for (auto _ : state) {
        combo.Clear();
        for (int i = 0; i < kSets; ++i) {
            combo.AddItem(setNames()[i]);
            combo.SetItemData(combo.NewIndex(), i + 1);
        }
        combo.setListIndex(kSets / 2);
        benchmark::DoNotOptimize(combo.Text());
    }
}

void BM_FillList_Floor(benchmark::State &state)
{
    QComboBox combo;
    for (auto _ : state) {
        combo.clear();
        for (int i = 0; i < kSets; ++i)
            combo.addItem(setNames()[i], QVariant(qint32(i + 1)));
        combo.setCurrentIndex(kSets / 2);
        benchmark::DoNotOptimize(combo.currentText());
    }
}

template <typename Field> void typeDigits(Field &field)
{
    static const QString digits = QStringLiteral("0123456789.x");
    for (int i = 0; i < kKeys; ++i) {
        if (i % 7 == 6) {
            field.clear();
            continue;
        }
        const QChar ch = digits.at(i % digits.size());
        QKeyEvent press(QEvent::KeyPress, ch.unicode(), Qt::NoModifier, QString(ch));
        QApplication::sendEvent(&field, &press);
    }
}

void BM_TypeFiltered(benchmark::State &state)
{
    TextBox field;
    QObject::connect(&field, &TextBox::KeyPress, [](qint16 &keyAscii) {
        if (!(keyAscii >= 48 && keyAscii <= 57) && keyAscii != 8 && keyAscii != 46)
            keyAscii = 0;
    });
    for (auto _ : state)
        typeDigits(field);
}

// The same keystrokes, filtered by a validator on a plain line edit.
void BM_TypeFiltered_Floor(benchmark::State &state)
{
    QLineEdit field;
    field.setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9.]*")), &field));
    for (auto _ : state)
        typeDigits(field);
}

class BenchPage : public QWidget, public IPageAccess
{
public:
    BenchPage() { resize(400, 300); }
    PageBase *Page() override { return &m_base; }

private:
    PageBase m_base{this};
};

void BM_OpenAndCommitFlow(benchmark::State &state)
{
    for (auto _ : state) {
        host::ServiceWindowDialog::whenShown(
            [](host::ServiceWindowDialog &window) { window.button(kCommandCommit)->click(); });
        const ServiceWindowPtr window = App().RunService(QStringLiteral("Bench"), newCollection(), nullptr,
                                                         ServiceOptions{.commitCaption = 1, .extraCommand = 3});
        benchmark::DoNotOptimize(window->WasCancelled());
    }
}

// A dialog of the same shape (a page, a separating line and a row of three buttons), shown and accepted the
// same way.
void BM_OpenAndCommitFlow_Floor(benchmark::State &state)
{
    for (auto _ : state) {
        QDialog dialog;
        auto *layout = new QVBoxLayout(&dialog);
        layout->addWidget(new BenchPage, 1);
        auto *line = new QFrame(&dialog);
        line->setFrameShape(QFrame::HLine);
        line->setFrameShadow(QFrame::Sunken);
        layout->addWidget(line);
        auto *row = new QHBoxLayout;
        QPushButton *commit = nullptr;
        for (const char *caption : {"Save As...", "Save", "Cancel"}) {
            auto *button = new QPushButton(QString::fromLatin1(caption), &dialog);
            row->addWidget(button);
            if (!commit)
                commit = button;
        }
        layout->addLayout(row);
        QObject::connect(commit, &QPushButton::clicked, &dialog, &QDialog::accept);
        QTimer::singleShot(0, commit, &QPushButton::click);
        benchmark::DoNotOptimize(dialog.exec());
    }
}

VELTRANE_BENCHMARK_PAIR(BM_FillList, ->Unit(benchmark::kMicrosecond));
VELTRANE_BENCHMARK_PAIR(BM_TypeFiltered, ->Unit(benchmark::kMicrosecond));
VELTRANE_BENCHMARK_PAIR(BM_OpenAndCommitFlow, ->Unit(benchmark::kMicrosecond));

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The offscreen platform warns on every window shown; the measurements are what matters here.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &message) {
        if (type != QtDebugMsg && !message.contains(QLatin1String("propagateSizeHints")))
            std::fprintf(stderr, "%s\n", qPrintable(message));
    });
    QApplication app(argc, argv);
    HostFactories factories;
    factories.application = &host::makeFrameworkApplication;
    factories.utilities = &host::makeFrameworkUtilities;
    installHostFactories(factories);
    host::FlowRegistry::instance().registerFlow(QStringLiteral("Bench"), {QStringLiteral("BenchPage")});
    host::FlowRegistry::instance().setPageFactory([](const QString &) -> QWidget * { return new BenchPage; });

    if (!veltrane::bench::initialize(argc, argv))
        return 1;
    return veltrane::bench::runWithRatios(veltrane::bench::RatioReporter::Clock::Cpu);
}
