#include "host/snp_tag_editor/snp_tag_editor_page.h"

#include "platform/forms/colors.h"
#include "platform/forms/label.h"
#include "platform/forms/text_box.h"
#include "veltrane/contracts/host_services.h"
#include "veltrane/contracts/stored_rules.h"
#include "veltrane/contracts/vocabulary.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLocale>
#include <QPushButton>
#include <QVBoxLayout>
#include <cmath>
#include <limits>

namespace veltrane::host {

namespace {

const QString kSource = QStringLiteral("SNPLocusTagEditor");
constexpr int kFieldChars = 40;

SnpTagEditorPage::NameAsker &nameAsker()
{
    static SnpTagEditorPage::NameAsker asker; // UI thread only
    return asker;
}

QString numberText(float value)
{
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale.toString(double(value), 'g', 7);
}

std::optional<float> parseNumber(const QString &text)
{
    const QString trimmed = text.trimmed();
    bool ok = false;
    double value = QLocale().toDouble(trimmed, &ok);
    if (!ok)
        value = QLocale::c().toDouble(trimmed, &ok);
    if (!ok || !std::isfinite(value) || std::abs(value) > double(std::numeric_limits<float>::max()))
        return std::nullopt;
    return float(value);
}

QString trimmedName(const QString &name)
{
    qsizetype end = name.size();
    while (end > 0 && name.at(end - 1).isSpace())
        --end;
    return name.left(end);
}

} // namespace

// ---- the page -------------------------------------------------------------------------------------

SnpTagEditorPage::SnpTagEditorPage(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(kSnpTagEditorPage);
    m_pageBase = new PageBase(this);
    buildControls();
    auto &h = m_pageBase->handlers;
    h.Initialize = [this](QObject *) { onInitialize(); };
    h.Validate = [this](bool &valid) { onValidate(valid); };
    h.Save = [this] { onSave(); };
    h.CommandClick = [this](qint32 command) { onCommand(command); };
}

SnpTagEditorPage::~SnpTagEditorPage() = default;

void SnpTagEditorPage::buildControls()
{
    auto *form = new QFormLayout;
    const auto field = [this, form](const char *name, const QString &caption) {
        auto *box = new TextBox(this);
        box->setObjectName(QLatin1String(name));
        box->setMinimumWidth(box->fontMetrics().averageCharWidth() * kFieldChars);
        auto *label = new Label(caption, this);
        label->setObjectName(QLatin1String(name) + QStringLiteral("Caption"));
        label->setBuddy(box);
        form->addRow(label, box);
        connect(box, &TextBox::Change, this, [this, box] {
            if (m_filling)
                return;
            box->setBackColor(colors::kWindowBackground);
            box->setToolTip(QString());
            m_pageBase->MarkDirty();
        });
        return box;
    };
    txtName = field("txtName", tr("&Name:"));
    txtName->setMaxLength(limits::kNameLength);
    txtTagNumber = field("txtTagNumber", tr("Tag n&umber:"));
    for (int i = 0; i < 4; ++i) {
        txtTagText[size_t(i)] =
            field(QStringLiteral("txtTagText%1").arg(i + 1).toLatin1().constData(), tr("Text &%1:").arg(i + 1));
        txtTagText[size_t(i)]->setMaxLength(limits::kTextLength);
    }

    lblMessage = new Label(this);
    lblMessage->setObjectName(QStringLiteral("lblMessage"));
    lblMessage->setForeColor(colors::kRed);
    lblMessage->setWordWrap(true);
    // Room for a message from the start: the window does not grow when one appears.
    lblMessage->setMinimumHeight(lblMessage->fontMetrics().lineSpacing() * 2);
    lblMessage->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    auto *outer = new QVBoxLayout(this);
    outer->addLayout(form);
    outer->addWidget(lblMessage);
    outer->addStretch(1);
}

void SnpTagEditorPage::onInitialize()
{
    const CollectionPtr context = m_pageBase->BusinessContext();
    if (!context || !Utilities().KeyExists(context, keys::kSNPLocusTag))
        throw Error(kApplicationError, kSource, tr("The editor was given no SNP locus tag to edit."));
    m_tag = context->Object<SNPLocusTag>(keys::kSNPLocusTag);
    if (!m_tag)
        throw Error::typeMismatch(kSource, QStringLiteral("SNPLocusTag expected"));
    if (!m_tag->TagData())
        m_tag->setTagData(SNPLocusTagSettingsPtr::create());
    showTag();
}

void SnpTagEditorPage::showTag()
{
    const SNPLocusTagSettings &data = *m_tag->TagData();
    m_filling = true;
    txtName->setText(data.Name());
    txtTagNumber->setText(numberText(data.TagNumber()));
    for (int i = 0; i < 4; ++i)
        txtTagText[size_t(i)]->setText(data.TagText(i + 1));
    m_filling = false;
    for (TextBox *box : {txtName, txtTagNumber})
        markField(box, QString());
    lblMessage->setCaption(QString());
    updateTitle();
}

void SnpTagEditorPage::updateTitle()
{
    if (ServiceWindow *window = m_pageBase->Window()) {
        const QString name = m_tag && m_tag->TagData() ? m_tag->TagData()->Name() : QString();
        window->SetTitle(name.isEmpty() || m_tag->TagData()->ID() <= 0 ? tr("New SNP Locus Tag")
                                                                       : tr("SNP Locus Tag %1").arg(name));
    }
}

QString SnpTagEditorPage::nameProblem(const QString &name, qint32 ownId) const
{
    if (name.trimmed().isEmpty())
        return tr("Enter a name for the SNP locus tag.");
    if (const std::optional<QString> fault = nameFault(trimmedName(name)))
        return tr("This name cannot be stored: %1.").arg(*fault);
    try {
        const auto stored = qSharedPointerObjectCast<SNPLocusTag>(
            ObjectManager().LoadObject(types::kSNPLocusTag, fields::kName, trimmedName(name), false, true));
        if (stored && (ownId <= 0 || stored->ID() != ownId))
            return tr("Another SNP locus tag is named \"%1\". Choose another name.").arg(stored->Name());
    } catch (const Error &error) {
        if (error.number() != kStoreNotFound)
            throw;
    }
    return {};
}

void SnpTagEditorPage::markField(TextBox *field, const QString &message)
{
    field->setBackColor(message.isEmpty() ? colors::kWindowBackground : colors::kYellow);
    field->setToolTip(message);
}

std::optional<float> SnpTagEditorPage::tagNumber() const
{
    return parseNumber(txtTagNumber->Text());
}

bool SnpTagEditorPage::checkFields(bool checkName)
{
    QStringList messages;
    if (checkName) {
        const QString problem = nameProblem(txtName->Text(), m_tag->TagData()->ID());
        markField(txtName, problem);
        if (!problem.isEmpty())
            messages << problem;
    }
    const QString numberProblem = tagNumber() ? QString() : tr("The tag number must be a number.");
    markField(txtTagNumber, numberProblem);
    if (!numberProblem.isEmpty())
        messages << numberProblem;
    for (int i = 0; i < 4; ++i) {
        TextBox *box = txtTagText[size_t(i)];
        const std::optional<QString> fault = textFault(box->Text());
        const QString problem = fault ? tr("Text %1 cannot be stored: %2.").arg(i + 1).arg(*fault) : QString();
        markField(box, problem);
        if (!problem.isEmpty())
            messages << problem;
    }
    lblMessage->setCaption(messages.join(QLatin1Char('\n')));
    return messages.isEmpty();
}

void SnpTagEditorPage::onValidate(bool &valid)
{
    if (!checkFields(true))
        valid = false;
}

void SnpTagEditorPage::copyFieldsInto(SNPLocusTagSettings &data, const QString &name) const
{
    data.setName(trimmedName(name));
    data.setTagNumber(*tagNumber());
    for (int i = 0; i < 4; ++i)
        data.setTagText(i + 1, txtTagText[size_t(i)]->Text());
}

void SnpTagEditorPage::store(const SNPLocusTagPtr &tag)
{
    tag->Commit();
    ++m_saves;
    const CollectionPtr context = m_pageBase->BusinessContext();
    if (context->Contains(keys::kSaveTimes))
        context->Remove(keys::kSaveTimes);
    context->Add(m_saves, keys::kSaveTimes);
}

void SnpTagEditorPage::onSave()
{
    // The tag object takes the fields only once they are stored: a refused store leaves it as it was.
    SNPLocusTagSettings &data = *m_tag->TagData();
    SNPLocusTagSettings before;
    before.setName(data.Name());
    before.setTagNumber(data.TagNumber());
    for (int i = 1; i <= 4; ++i)
        before.setTagText(i, data.TagText(i));
    copyFieldsInto(data, txtName->Text());
    try {
        store(m_tag);
    } catch (...) {
        data.setName(before.Name());
        data.setTagNumber(before.TagNumber());
        for (int i = 1; i <= 4; ++i)
            data.setTagText(i, before.TagText(i));
        throw;
    }
}

void SnpTagEditorPage::onCommand(qint32 command)
{
    if (command == kCommandSaveAs)
        saveAs();
}

void SnpTagEditorPage::setNameAsker(NameAsker asker)
{
    nameAsker() = std::move(asker);
}

void SnpTagEditorPage::saveAs()
{
    if (!checkFields(false))
        return;
    const auto problem = [this](const QString &name) {
        const QString trimmed = name.trimmed();
        if (trimmed.isEmpty())
            return tr("Enter a name for the copy.");
        // The copy is a new tag: no stored tag may have its name, the one being edited included.
        return nameProblem(trimmed, 0);
    };
    const QString proposal = txtName->Text().trimmed().isEmpty() ? QString() : tr("Copy of %1").arg(txtName->Text());
    std::optional<QString> name;
    if (const NameAsker &asker = nameAsker()) {
        name = asker(window(), proposal, problem);
    } else {
        SaveTagAsDialog dialog(proposal, problem, window());
        if (dialog.exec() == QDialog::Accepted)
            name = dialog.name();
    }
    if (!name)
        return;

    auto copy = qSharedPointerObjectCast<SNPLocusTag>(ObjectManager().NewObject(types::kSNPLocusTag));
    if (!copy)
        throw Error::typeMismatch(kSource, QStringLiteral("SNPLocusTag expected"));
    if (!copy->TagData())
        copy->setTagData(SNPLocusTagSettingsPtr::create());
    copyFieldsInto(*copy->TagData(), *name);
    store(copy);

    const CollectionPtr context = m_pageBase->BusinessContext();
    if (context->Contains(keys::kNewSaveAs))
        context->Remove(keys::kNewSaveAs);
    context->Add(copy, keys::kNewSaveAs);
    m_tag = copy;
    showTag();
}

// ---- Save As dialog ---------------------------------------------------------------------------------

SaveTagAsDialog::SaveTagAsDialog(const QString &proposal, std::function<QString(const QString &)> problem,
                                 QWidget *parent)
    : QDialog(parent)
    , m_problem(std::move(problem))
    , m_name(new TextBox(this))
    , m_message(new Label(this))
    , m_buttons(new QDialogButtonBox(QDialogButtonBox::Save | QDialogButtonBox::Cancel, this))
{
    setObjectName(QStringLiteral("SaveTagAsDialog"));
    setWindowTitle(tr("Save SNP Locus Tag As"));
    m_name->setObjectName(QStringLiteral("txtNewName"));
    m_name->setMaxLength(limits::kNameLength);
    m_name->setText(proposal);
    m_name->selectAll();
    m_name->setMinimumWidth(m_name->fontMetrics().averageCharWidth() * kFieldChars);
    m_message->setObjectName(QStringLiteral("lblMessage"));
    m_message->setForeColor(colors::kRed);
    m_message->setWordWrap(true);
    m_message->setMinimumHeight(m_message->fontMetrics().lineSpacing() * 2);
    m_message->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    auto *caption = new Label(tr("&New name:"), this);
    caption->setBuddy(m_name);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(caption);
    layout->addWidget(m_name);
    layout->addWidget(m_message);
    layout->addWidget(m_buttons);
    connect(m_buttons, &QDialogButtonBox::accepted, this, &SaveTagAsDialog::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &SaveTagAsDialog::reject);
    connect(m_name, &TextBox::Change, this, [this] { m_message->setCaption(QString()); });
}

QString SaveTagAsDialog::name() const
{
    return m_name->Text().trimmed();
}

void SaveTagAsDialog::accept()
{
    const QString problem = m_problem ? m_problem(name()) : QString();
    if (!problem.isEmpty()) {
        m_message->setCaption(problem);
        m_name->setFocus();
        return;
    }
    QDialog::accept();
}

// ---- the flow ---------------------------------------------------------------------------------------

FlowDefinition snpTagEditorFlow()
{
    FlowDefinition flow;
    flow.name = flows::kSNPLocusTagEditor;
    flow.pages = {kSnpTagEditorPage};
    flow.commands = {kCommandCommit, kCommandCancel, kCommandSaveAs};
    flow.title = QStringLiteral("SNP Locus Tag");
    flow.captions = {{kCommandCommit, QStringLiteral("&Save")}};
    return flow;
}

QWidget *createHostPage(const QString &className)
{
    if (className.compare(kSnpTagEditorPage, Qt::CaseInsensitive) == 0)
        return new SnpTagEditorPage();
    return nullptr;
}

void registerParameterFlows(PageFactory libraryPages)
{
    auto &registry = FlowRegistry::instance();
    registry.setPageFactory([libraryPages = std::move(libraryPages)](const QString &className) -> QWidget * {
        if (QWidget *page = createHostPage(className))
            return page;
        return libraryPages(className);
    });
    registry.registerFlow(flows::kSelectAnalysisParameters, {pages::kSelectParamPage}, {}, titles::kAnalysisParameters);
    registry.registerFlow(flows::kEditAnalysisParameters, {pages::kAnalysisParamPage}, {}, titles::kEditParameters);
    registry.registerFlow(flows::kSaveAnalysisParameterAs, {pages::kSaveAsParamPage}, {},
                          QStringLiteral("Save Analysis Parameters As"));
    registry.registerFlow(snpTagEditorFlow());
}

} // namespace veltrane::host
