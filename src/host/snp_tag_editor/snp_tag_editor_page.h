#pragma once

#include "host/framework/flow_registry.h"
#include "veltrane/contracts/business_objects.h"
#include "veltrane/contracts/page_framework.h"

#include <QDialog>
#include <QWidget>
#include <array>
#include <functional>
#include <optional>

class QDialogButtonBox;

namespace veltrane {
class Label;
class TextBox;
} // namespace veltrane

namespace veltrane::host {

// The page of the "SNPLocusTagEditor" flow: edits the SNP locus tag handed under "SNPLocusTag"
// (name, tag number, four texts).
//
// - Save (the commit button) stores the tag as edited and ends the flow. The tag object itself
//   takes the edited values only once they are stored, so Cancel leaves it as it was handed over.
// - Save As (command 3) asks for a new name, stores a copy of the fields under it, hands the copy
//   back under "NewSaveAs" and goes on editing the copy; the first tag stays as it was stored.
// - Every store counts: the count is kept under "SaveTimes", also when the flow is then cancelled.
// - A name must not be empty and no other stored tag may have it (letter case and trailing blanks
//   do not count); the tag number must be a number. A field in error turns yellow, carries the
//   message as its tip, and the message shows under the fields.
class SnpTagEditorPage : public QWidget, public IPageAccess
{
    Q_OBJECT
public:
    explicit SnpTagEditorPage(QWidget *parent = nullptr);
    ~SnpTagEditorPage() override;

    PageBase *Page() override { return m_pageBase; }

    // The tag being edited (the copy after a Save As); null before the flow hands one over.
    SNPLocusTagPtr tag() const { return m_tag; }
    qint32 saveCount() const { return m_saves; }

    // Asks for the name of a copy; answers none when the user cancels. Tests replace it.
    using NameAsker = std::function<std::optional<QString>(QWidget *parent, const QString &proposal,
                                                           const std::function<QString(const QString &)> &problem)>;
    static void setNameAsker(NameAsker asker);

private:
    void buildControls();
    void onInitialize();
    void onValidate(bool &valid);
    void onSave();
    void onCommand(qint32 command);
    void saveAs();

    // The message for a name a tag cannot be stored under (empty: none); ownId is the ID of the tag
    // that may keep its own name (0: a new tag).
    QString nameProblem(const QString &name, qint32 ownId) const;
    // Marks each field in error and shows the first message; answers whether all passed.
    bool checkFields(bool checkName);
    void markField(TextBox *field, const QString &message);
    std::optional<float> tagNumber() const;
    void showTag();
    void copyFieldsInto(SNPLocusTagSettings &data, const QString &name) const;
    void store(const SNPLocusTagPtr &tag);
    void updateTitle();

    PageBase *m_pageBase = nullptr;
    SNPLocusTagPtr m_tag;
    qint32 m_saves = 0;
    bool m_filling = false;

    TextBox *txtName = nullptr;
    TextBox *txtTagNumber = nullptr;
    std::array<TextBox *, 4> txtTagText{};
    Label *lblMessage = nullptr;
};

// The small dialog Save As asks for the new name in: it stays open while the name is refused.
class SaveTagAsDialog : public QDialog
{
    Q_OBJECT
public:
    SaveTagAsDialog(const QString &proposal, std::function<QString(const QString &)> problem,
                    QWidget *parent = nullptr);
    QString name() const;

    void accept() override;

private:
    std::function<QString(const QString &)> m_problem;
    TextBox *m_name;
    Label *m_message;
    QDialogButtonBox *m_buttons;
};

// The class name the flow's page is created by, and the flow as the application registers it.
inline const QString kSnpTagEditorPage = QStringLiteral("SNPLocusTagEditorPage");
FlowDefinition snpTagEditorFlow();
// A host page by class name, or null for a name that is no host page.
QWidget *createHostPage(const QString &className);
// Registers the flows a parameter set is managed in: the library's three and the host's SNP locus
// tag editor, with a page factory that makes the host's pages itself and asks libraryPages for the
// library's.
void registerParameterFlows(PageFactory libraryPages);

} // namespace veltrane::host
