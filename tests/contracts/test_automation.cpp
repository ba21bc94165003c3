#include "support/data_rows.h"
#include "support/recording_utilities.h"
#include "veltrane/contracts/automation.h"
#include "veltrane/contracts/business_objects.h"
#include "veltrane/contracts/error.h"

#include <QTest>

using namespace veltrane;
using veltrane::test::columns;
using veltrane::test::errorOf;
using veltrane::test::row;
using namespace veltrane::automation;

namespace {

// A class with one member of each shape the dispatch tables use.
class Sample : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool Enabled READ Enabled WRITE setEnabled)
    Q_PROPERTY(veltrane::ObjectPtr Current READ Current)
    Q_PROPERTY(QVariant Note READ Note WRITE setNote)
public:
    bool Enabled() const { return m_enabled; }
    void setEnabled(bool on) { m_enabled = on; }
    veltrane::ObjectPtr Current() const
    {
        if (failGetter)
            throw Error(kApplicationError, QStringLiteral("Sample"), QStringLiteral("no current set"));
        return m_current;
    }

    Q_INVOKABLE qint32 GetPower(QString &sString)
    {
        sString += QStringLiteral("!");
        return qint32(sString.size());
    }
    Q_INVOKABLE QString FormatNotation(qint16 &Index, QString &sString)
    {
        Index = qint16(Index + 1);
        sString = sString.toUpper();
        return QStringLiteral("%1:%2").arg(Index).arg(sString);
    }
    Q_INVOKABLE void Initialize(veltrane::ObjectPtr &oAnalysisParameter)
    {
        m_current = oAnalysisParameter;
        oAnalysisParameter = replacement;
    }
    Q_INVOKABLE double Scale(double d, qint32 n) { return d * n; }
    Q_INVOKABLE QVariant Echo(const QVariant &value) { return value; }
    Q_INVOKABLE void Fail() { throw Error(kApplicationError, QStringLiteral("Sample"), QStringLiteral("refused")); }

    QVariant Note() const { return m_note; }
    void setNote(const QVariant &note) { m_note = note; }

    veltrane::ObjectPtr replacement;
    bool failGetter = false;

private:
    bool m_enabled = true;
    veltrane::ObjectPtr m_current;
    QVariant m_note;
};

class DerivedSample : public Sample
{
    Q_OBJECT
};

class Unregistered : public QObject
{
    Q_OBJECT
public:
    Q_INVOKABLE void Go() {}
};

Parameter arg(const QString &name, Type type, bool byRef = false, const QString &typeName = {})
{
    return Parameter{name, type, typeName, byRef};
}

Parameter result(Type type, const QString &typeName = {})
{
    return Parameter{{}, type, typeName, false};
}

DispatchTable sampleTable()
{
    const auto member = [](const char *name, CallKind kind, qint32 id, const QList<Parameter> &args, Parameter r) {
        return Member{QLatin1String(name), kind, id, args, r, QStringLiteral("_Sample")};
    };
    const CallKind method = CallKind::Method;
    return DispatchTable{
        QStringLiteral("Sample"),
        {member("GetPower", method, 0x60030013, {arg("sString", Type::Text, true)}, result(Type::Int32)),
         member("FormatNotation", method, 0x60030014,
                {arg("Index", Type::Int16, true), arg("sString", Type::Text, true)}, result(Type::Text)),
         member("Initialize", method, 0x60030002, {arg("oAnalysisParameter", Type::Object, true, "AnalysisParameter")},
                result(Type::Void)),
         member("Scale", method, 0x60030003, {arg("d", Type::Double), arg("n", Type::Int32)}, result(Type::Double)),
         member("Echo", method, 0x60030004, {arg("value", Type::Variant)}, result(Type::Variant)),
         member("Fail", method, 0x60030005, {}, result(Type::Void)),
         member("Current", CallKind::PropertyGet, 0x68030000, {}, result(Type::Object, "AnalysisParameter")),
         member("Enabled", CallKind::PropertyPut, 0x68030004, {arg("bValue", Type::Boolean)}, result(Type::Void)),
         member("Enabled", CallKind::PropertyGet, 0x68030004, {}, result(Type::Boolean)),
         member("Note", CallKind::PropertyPut, 0x68030005, {arg("vValue", Type::Variant)}, result(Type::Void)),
         member("Note", CallKind::PropertyGet, 0x68030005, {}, result(Type::Variant))}};
}

// Ways a table can be wrong about its class.
enum class Fault {
    None,
    MissingMember,
    WrongArgumentType,
    NotByReference,
    WrongResult,
    UnlistedInvokable,
    UnlistedPut
};

DispatchTable faulty(Fault fault)
{
    DispatchTable t = sampleTable();
    auto find = [&t](const char *name) -> Member & {
        for (Member &m : t.members)
            if (m.name == QLatin1String(name))
                return m;
        Q_UNREACHABLE();
    };
    switch (fault) {
    case Fault::None:
        break;
    case Fault::MissingMember:
        t.members.append({QStringLiteral("RefreshView"), CallKind::Method, 0x60030057, {}, result(Type::Void), {}});
        break;
    case Fault::WrongArgumentType:
        find("Scale").arguments[1].type = Type::Int16;
        break;
    case Fault::NotByReference:
        find("GetPower").arguments[0].byRef = false;
        break;
    case Fault::WrongResult:
        find("GetPower").result.type = Type::Text;
        break;
    case Fault::UnlistedInvokable:
        t.members.removeIf([](const Member &m) { return m.name == QLatin1String("Echo"); });
        break;
    case Fault::UnlistedPut:
        t.members.removeIf(
            [](const Member &m) { return m.kind == CallKind::PropertyPut && m.name == QLatin1String("Enabled"); });
        break;
    }
    return t;
}

ObjectPtr newSet()
{
    return ObjectPtr(new AnalysisParameter);
}

} // namespace

Q_DECLARE_METATYPE(veltrane::automation::CallKind)
Q_DECLARE_METATYPE(Fault)

class TestAutomation : public QObject
{
    Q_OBJECT
private slots:
    void init() { registerDispatchTable(&Sample::staticMetaObject, sampleTable()); }

    void callsByNameWithoutRegardToCaseOrById_data();
    void callsByNameWithoutRegardToCaseOrById();
    void byReferenceArgumentsAreWrittenBack();
    void objectsPassByReference();
    void anyValuePutIsReadBack_data();
    void anyValuePutIsReadBack();
    void argumentsConvertWhenTheValueFits_data();
    void argumentsConvertWhenTheValueFits();
    void refusals_data();
    void refusals();
    void errorsOfTheMemberPassThroughUnchanged();
    void derivedClassesAnswerWithTheirBaseTable();
    void disagreementsNameTheFault_data();
    void disagreementsNameTheFault();
};

void TestAutomation::callsByNameWithoutRegardToCaseOrById_data()
{
    columns<QString, qint32>("name", "dispId");
    row("as declared", "Scale", 0x60030003);
    row("lower case", "scale", 0x60030003);
    row("upper case", "SCALE", 0x60030003);
}

void TestAutomation::callsByNameWithoutRegardToCaseOrById()
{
    QFETCH(QString, name);
    QFETCH(qint32, dispId);
    Sample s;
    QCOMPARE(call(&s, name, {2.5, 4}).toDouble(), 10.0);
    QCOMPARE(call(&s, dispId, {2.5, 4}).toDouble(), 10.0);

    call(&s, QStringLiteral("enabled"), {false}, CallKind::PropertyPut);
    QCOMPARE(s.Enabled(), false);
    QCOMPARE(call(&s, 0x68030004, {}, CallKind::PropertyGet), QVariant(false));
}

void TestAutomation::byReferenceArgumentsAreWrittenBack()
{
    Sample s;
    QVariantList args{QStringLiteral("150")};
    QCOMPARE(call(&s, QStringLiteral("GetPower"), args).toInt(), 4);
    QCOMPARE(args.at(0).toString(), QStringLiteral("150!"));

    // A 32-bit 5 given for a 16-bit reference becomes the 16-bit value the member wrote.
    QVariantList two{5, QStringLiteral("abc")};
    QCOMPARE(call(&s, 0x60030014, two).toString(), QStringLiteral("6:ABC"));
    QCOMPARE(two.at(0).metaType(), QMetaType::fromType<qint16>());
    QCOMPARE(two.at(0).toInt(), 6);
    QCOMPARE(two.at(1).toString(), QStringLiteral("ABC"));
}

void TestAutomation::objectsPassByReference()
{
    Sample s;
    const ObjectPtr given = newSet();
    s.replacement = newSet();
    QVariantList args{toVariant(given)};
    call(&s, QStringLiteral("Initialize"), args);
    QCOMPARE(s.Current(), given);                      // the member received the caller's object itself
    QCOMPARE(objectFrom<>(args.at(0)), s.replacement); // and replaced it in the caller's variable
    QCOMPARE(objectFrom<>(call(&s, QStringLiteral("Current"), {}, CallKind::PropertyGet)), given);

    QVariantList nothing{QVariant()};
    call(&s, QStringLiteral("Initialize"), nothing); // nothing is a valid object
    QVERIFY(s.Current().isNull());
}

void TestAutomation::anyValuePutIsReadBack_data()
{
    columns<QVariant>("value");
    row("text", QVariant(QStringLiteral("lot 42")));
    row("nothing", QVariant());
    row("a number", QVariant(2.5));
    row("an object", toVariant(newSet()));
}

void TestAutomation::anyValuePutIsReadBack()
{
    QFETCH(QVariant, value);
    Sample s;
    call(&s, 0x68030005, {value}, CallKind::PropertyPut);
    QCOMPARE(s.Note(), value); // the value itself, not a variant wrapped around it
    QCOMPARE(call(&s, QStringLiteral("note"), {}, CallKind::PropertyGet), value);
}

void TestAutomation::argumentsConvertWhenTheValueFits_data()
{
    columns<QVariant, bool>("value", "enabled");
    row("Boolean", QVariant(true), true);
    row("minus one is true", QVariant(-1), true);
    row("zero is false", QVariant(0), false);
    row("a double", QVariant(0.0), false);
}

void TestAutomation::argumentsConvertWhenTheValueFits()
{
    QFETCH(QVariant, value);
    QFETCH(bool, enabled);
    Sample s;
    s.setEnabled(!enabled);
    call(&s, QStringLiteral("Enabled"), {value}, CallKind::PropertyPut);
    QCOMPARE(s.Enabled(), enabled);
    QCOMPARE(call(&s, QStringLiteral("Scale"), {qint16(3), qint64(2)}).toDouble(), 6.0);
    QCOMPARE(call(&s, QStringLiteral("Echo"), {QStringLiteral("any")}).toString(), QStringLiteral("any"));
}

void TestAutomation::refusals_data()
{
    // dispId: used when member is empty
    columns<QString, qint32, CallKind, QVariantList, qint32, QString>("member", "dispId", "kind", "args", "number",
                                                                      "says");

    const CallKind method = CallKind::Method;
    row("unknown name", "Refresh", 0, method, QVariantList{}, qint32(kDispMemberNotFound),
        "Sample has no method \"Refresh\"");
    row("unknown id", "", 0x60030099, method, QVariantList{}, qint32(kDispMemberNotFound), "dispatch id 0x60030099");
    row("method called as property", "GetPower", 0, CallKind::PropertyGet, QVariantList{}, qint32(kDispMemberNotFound),
        "readable property");
    row("read-only property put", "Current", 0, CallKind::PropertyPut, QVariantList{QVariant()},
        qint32(kDispMemberNotFound), "writable property");
    row("too few", "Scale", 0, method, QVariantList{1.0}, qint32(kDispBadParamCount),
        "Scale takes 2 argument(s), not 1");
    row("too many by id", "", 0x60030005, method, QVariantList{1}, qint32(kDispBadParamCount), "not 1");
    row("text for a number", "Scale", 0, method, QVariantList{QStringLiteral("2"), 1}, qint32(kDispTypeMismatch),
        "argument 1 (d) of Scale: QString is not double");
    row("number for text", "GetPower", 0, method, QVariantList{150}, qint32(kDispTypeMismatch), "is not text");
    row("fraction for an integer", "Scale", 0, method, QVariantList{1.0, 2.5}, qint32(kDispTypeMismatch),
        "2.5 does not fit 32-bit integer");
    row("too big for 16 bits", "FormatNotation", 0, method, QVariantList{70000, QStringLiteral("x")},
        qint32(kDispTypeMismatch), "70000 does not fit 16-bit integer");
    row("second reference refused", "FormatNotation", 0, method, QVariantList{5, 150}, qint32(kDispTypeMismatch),
        "argument 2 (sString)");
    row("object of another class", "Initialize", 0, method, QVariantList{toVariant(ObjectPtr(new Project))},
        qint32(kDispTypeMismatch), "is no AnalysisParameter");
    row("a borrowed object where one is kept", "Initialize", 0, method,
        QVariantList{QVariant::fromValue<QObject *>(nullptr)}, qint32(kDispTypeMismatch), "QObject* is not");
}

void TestAutomation::refusals()
{
    QFETCH(QString, member);
    QFETCH(qint32, dispId);
    QFETCH(CallKind, kind);
    QFETCH(QVariantList, args);
    QFETCH(qint32, number);
    QFETCH(QString, says);
    Sample s;
    const QVariantList before = args;
    const Error e = errorOf([&] { member.isEmpty() ? call(&s, dispId, args, kind) : call(&s, member, args, kind); });
    QCOMPARE(QString::number(quint32(e.number()), 16), QString::number(quint32(number), 16));
    QVERIFY2(e.description().contains(says), qPrintable(e.description()));
    QCOMPARE(e.source(), QStringLiteral("Sample"));
    // A refused call leaves the caller's values alone, types included.
    QCOMPARE(args, before);
    for (int i = 0; i < args.size(); ++i)
        QCOMPARE(args.at(i).metaType(), before.at(i).metaType());
}

void TestAutomation::errorsOfTheMemberPassThroughUnchanged()
{
    Sample s;
    QCOMPARE(errorOf([&] { call(&s, QStringLiteral("Fail")); }),
             Error(kApplicationError, QStringLiteral("Sample"), QStringLiteral("refused")));
    s.failGetter = true;
    QVERIFY_THROWS_EXCEPTION(Error, call(&s, QStringLiteral("Current"), {}, CallKind::PropertyGet));

    Unregistered u;
    const Error e = errorOf([&] { call(&u, QStringLiteral("Go")); });
    QCOMPARE(e.number(), qint32(kDispMemberNotFound));
    QVERIFY(e.description().contains(QStringLiteral("no dispatch table")));
}

void TestAutomation::derivedClassesAnswerWithTheirBaseTable()
{
    DerivedSample d;
    QVariantList args{QStringLiteral("7")};
    QCOMPARE(call(&d, QStringLiteral("GetPower"), args).toInt(), 2);
    QCOMPARE(dispatchTable(&DerivedSample::staticMetaObject), dispatchTable(&Sample::staticMetaObject));

    // A table of its own takes over from the inherited one.
    registerDispatchTable(
        &DerivedSample::staticMetaObject,
        {QStringLiteral("Derived"), {{QStringLiteral("Fail"), CallKind::Method, 1, {}, result(Type::Void), {}}}});
    QVERIFY_THROWS_EXCEPTION(Error, call(&d, QStringLiteral("GetPower"), args));
    QVERIFY_THROWS_EXCEPTION(Error, call(&d, 1));
}

void TestAutomation::disagreementsNameTheFault_data()
{
    columns<Fault, QString>("fault", "says");
    row("agree", Fault::None, "");
    row("member the class lacks", Fault::MissingMember,
        "method RefreshView: no public Q_INVOKABLE RefreshView taking 0");
    row("argument type", Fault::WrongArgumentType, "argument 2 (n) is 16-bit integer, but Scale");
    row("by value, taken by reference", Fault::NotByReference, "argument 1 (sString) is text, but");
    row("result type", Fault::WrongResult, "the result is text, but GetPower(QString&) answers int");
    row("invokable not listed", Fault::UnlistedInvokable, "Q_INVOKABLE Echo(QVariant) is not in the table");
    row("writable property not listed", Fault::UnlistedPut, "Q_PROPERTY Enabled (WRITE) is not in");
}

void TestAutomation::disagreementsNameTheFault()
{
    QFETCH(Fault, fault);
    QFETCH(QString, says);
    registerDispatchTable(&Sample::staticMetaObject, faulty(fault));
    const QStringList found = disagreements(&Sample::staticMetaObject);
    if (says.isEmpty()) {
        QVERIFY2(found.isEmpty(), qPrintable(found.join(QLatin1Char('\n'))));
        return;
    }
    QCOMPARE(found.size(), 1);
    QVERIFY2(found.first().contains(says), qPrintable(found.first()));
}

QTEST_GUILESS_MAIN(TestAutomation)
#include "test_automation.moc"
