#include "config/Convert.h"
#include "editor/SettingsGrid.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>

#include <cfloat>
#include <climits>

using namespace kolva;

Q_DECLARE_METATYPE(kolva::TEditorKind)

namespace {

// A setting row the way a build makes one.
TGridRow* AddSetting(TSettingsGrid& grid, TGridRow* category, const QString& name, int tag,
                     TEditorKind kind = TEditorKind::SpinInt, const QVariant& value = 0) {
    TGridRow* row = grid.AddEditorRow(category);
    row->Tag = tag;
    row->Caption = name;
    row->Editor = kind;
    row->Value = value;
    grid.AddName(row, name);
    grid.RowChanged(row);
    return row;
}

QString Sep(const QString& text) {
    return QString(text).replace(u'.', DecimalSeparator());
}

QStringList ChildNames(const TGridRow* parent) {
    QStringList names;
    for (int i = 0; i < parent->ChildCount(); ++i) {
        names << parent->Child(i)->Name;
        if (parent->Child(i)->Index() != i) names << QStringLiteral("<bad index>");
    }
    return names;
}

// The rows as views see them (rowCount/index), and as the grid holds them.
QStringList ViewNames(const TSettingsGrid& grid, const QModelIndex& parent = {}) {
    QStringList names;
    for (int i = 0; i < grid.rowCount(parent); ++i) {
        const QModelIndex index = grid.index(i, 0, parent);
        const TGridRow* row = grid.RowFromIndex(index);
        names << (row->IsCategory() ? u'[' + row->Caption + u']' : row->Name);
        names << ViewNames(grid, index);
    }
    return names;
}
QStringList AllNames(const TSettingsGrid& grid) {
    QStringList names;
    for (int i = 0; i < grid.TopLevelCount(); ++i) {
        const TGridRow* row = grid.TopLevelRow(i);
        names << (row->IsCategory() ? u'[' + row->Caption + u']' : row->Name);
        for (int j = 0; j < row->ChildCount(); ++j)
            names << row->Child(j)->Name;
    }
    return names;
}

bool UserEdit(TSettingsGrid& grid, TGridRow* row, const QVariant& value) {
    return grid.setData(grid.IndexOf(row, 1), value, Qt::EditRole);
}

} // namespace

class TestEditor : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void findRowIgnoresCase_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("asked");
        QTest::addColumn<bool>("found");
        QTest::newRow("same") << "row_3_120"
                              << "row_3_120" << true;
        QTest::newRow("upper") << "row_3_120"
                               << "ROW_3_120" << true;
        QTest::newRow("mixed") << "Row_A_1"
                               << "rOW_a_1" << true;
        QTest::newRow("other register") << "row_3_120"
                                        << "row_3_12" << false;
        QTest::newRow("empty") << "row_3_120"
                               << "" << false;
    }
    void findRowIgnoresCase() {
        QFETCH(QString, stored);
        QFETCH(QString, asked);
        QFETCH(bool, found);
        TSettingsGrid grid;
        TGridRow* cat = grid.AddCategory(QStringLiteral("Genel"), false);
        TGridRow* row = AddSetting(grid, cat, stored, 120);
        QCOMPARE(grid.FindRow(asked), found ? row : nullptr);
    }

    void duplicateNamesRefused_data() {
        QTest::addColumn<QString>("second");
        QTest::newRow("same text") << "row_1_5";
        QTest::newRow("other case") << "ROW_1_5";
    }
    void duplicateNamesRefused() {
        QFETCH(QString, second);
        TSettingsGrid grid;
        TGridRow* first = AddSetting(grid, nullptr, QStringLiteral("row_1_5"), 5);
        TGridRow* other = grid.AddEditorRow(nullptr);
        QVERIFY(!grid.AddName(other, second));
        QVERIFY(other->Name.isEmpty());
        QCOMPARE(grid.FindRow(second), first);
        // the refused row can be dropped again, the first keeps its name
        grid.RemoveRow(other);
        QCOMPARE(grid.EditorRowCount(), 1);
        QCOMPARE(grid.FindRow(QStringLiteral("row_1_5")), first);
    }

    void renamingFreesTheOldName() {
        TSettingsGrid grid;
        TGridRow* row = AddSetting(grid, nullptr, QStringLiteral("row_1_5"), 5);
        QVERIFY(grid.AddName(row, QStringLiteral("row_1_5"))); // its own name again
        QVERIFY(grid.AddName(row, QStringLiteral("row_1_6")));
        QCOMPARE(grid.FindRow(QStringLiteral("row_1_5")), nullptr);
        QCOMPARE(grid.FindRow(QStringLiteral("row_1_6")), row);
        TGridRow* second = grid.AddEditorRow(nullptr);
        QVERIFY(grid.AddName(second, QStringLiteral("row_1_5")));
    }

    void manyRowsKeepTheirNames() {
        TSettingsGrid grid;
        TGridRow* cat = nullptr;
        for (int i = 0; i < 2000; ++i) {
            if (i % 20 == 0) cat = grid.AddCategory(QString::number(i / 20), i % 40 == 0);
            AddSetting(grid, cat, QStringLiteral("row_%1_%2").arg(i / 20).arg(i), i);
        }
        QCOMPARE(grid.EditorRowCount(), 2000);
        QCOMPARE(grid.Categories().size(), 100);
        for (int i : {0, 19, 20, 1234, 1999}) {
            TGridRow* row = grid.FindRow(QStringLiteral("ROW_%1_%2").arg(i / 20).arg(i));
            QVERIFY(row);
            QCOMPARE(row->Tag, i);
            QCOMPARE(row->Parent(), grid.Categories().at(i / 20));
            QCOMPARE(grid.RowFromIndex(grid.IndexOf(row, 1)), row);
        }
    }

    void changedMarks_data() {
        QTest::addColumn<int>("tag");
        QTest::addColumn<int>("edits");
        QTest::addColumn<int>("expectedTag");
        QTest::newRow("one edit") << 120 << 1 << -120;
        QTest::newRow("repeated edits") << 120 << 3 << -120;
        QTest::newRow("register 0") << 0 << 1 << 0;
        QTest::newRow("register 0 repeated") << 0 << 2 << 0;
        QTest::newRow("already negative") << -7 << 1 << -7;
        QTest::newRow("lowest int") << INT_MIN << 1 << INT_MIN;
    }
    void changedMarks() {
        QFETCH(int, tag);
        QFETCH(int, edits);
        QFETCH(int, expectedTag);
        TSettingsGrid grid;
        QAbstractItemModelTester tester(&grid);
        TGridRow* row = AddSetting(grid, grid.AddCategory(QStringLiteral("G"), false),
                                   QStringLiteral("row_1_1"), tag);
        QSignalSpy edited(&grid, &TSettingsGrid::UserEdited);
        for (int i = 1; i <= edits; ++i)
            QVERIFY(UserEdit(grid, row, 10 + i));
        QCOMPARE(row->Tag, expectedTag);
        QCOMPARE(row->HeaderStyle, THeaderStyle::styleRowHeaderChanged);
        QCOMPARE(row->Value, QVariant(10 + edits));
        QCOMPARE(edited.size(), edits);
        QCOMPARE(edited.first().first().value<TGridRow*>(), row);
        const QModelIndex header = grid.IndexOf(row, 0);
        QCOMPARE(header.data(ChangedRole).toBool(), true);
        QCOMPARE(header.data(Qt::FontRole).value<QFont>().italic(), true);
        QCOMPARE(header.data(Qt::BackgroundRole).value<QBrush>().color(), QColor(192, 220, 192));
    }

    void programmaticChangesDoNotMark() {
        TSettingsGrid grid;
        TGridRow* row =
            AddSetting(grid, nullptr, QStringLiteral("row_1_9"), 9, TEditorKind::SpinFloat, 1.5);
        QSignalSpy changed(&grid, &QAbstractItemModel::dataChanged);
        QSignalSpy edited(&grid, &TSettingsGrid::UserEdited);
        grid.SetValue(row, QStringLiteral("12.50"));
        QCOMPARE(changed.size(), 1);
        QCOMPARE(row->Tag, 9);
        QCOMPARE(row->HeaderStyle, THeaderStyle::styleRowHeader);
        QCOMPARE(edited.size(), 0);
        // a write clears a mark the same way
        QVERIFY(UserEdit(grid, row, 2.0));
        QCOMPARE(row->Tag, -9);
        grid.SetHeaderStyle(row, THeaderStyle::styleRowHeader);
        grid.SetTag(row, 9);
        QCOMPARE(grid.IndexOf(row).data(ChangedRole).toBool(), false);
        QCOMPARE(grid.IndexOf(row).data(Qt::FontRole).value<QFont>().italic(), false);
        QCOMPARE(grid.IndexOf(row).data(Qt::BackgroundRole), QVariant());
    }

    // What a user edit through setData accepts, and whether it marks the row.
    void userEdits_data() {
        QTest::addColumn<TEditorKind>("kind");
        QTest::addColumn<int>("min");
        QTest::addColumn<int>("max");
        QTest::addColumn<QVariant>("before");
        QTest::addColumn<QVariant>("input");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<bool>("marked");
        QTest::addColumn<QVariant>("after");
        using K = TEditorKind;
        QTest::newRow("int within bounds") << K::SpinInt << 0 << 100 << QVariant(5) << QVariant(70)
                                           << true << true << QVariant(70);
        QTest::newRow("int above bounds") << K::SpinInt << 0 << 100 << QVariant(5) << QVariant(101)
                                          << false << false << QVariant(5);
        QTest::newRow("int unbounded") << K::SpinInt << 0 << 0 << QVariant(5) << QVariant(-70000)
                                       << true << true << QVariant(-70000);
        QTest::newRow("int from text") << K::SpinInt << 0 << 0 << QVariant(5) << QVariant("12")
                                       << true << true << QVariant(12);
        QTest::newRow("int not a number") << K::SpinInt << 0 << 0 << QVariant(5) << QVariant("abc")
                                          << false << false << QVariant(5);
        QTest::newRow("int fraction") << K::SpinInt << 0 << 0 << QVariant(5) << QVariant(1.5)
                                      << false << false << QVariant(5);
        QTest::newRow("int same as read text") << K::SpinInt << 0 << 0 << QVariant("5")
                                               << QVariant(5) << true << false << QVariant("5");
        QTest::newRow("double") << K::SpinFloat << 0 << 0 << QVariant(1.5) << QVariant(2.25) << true
                                << true << QVariant(2.25);
        QTest::newRow("double below bounds") << K::SpinFloat << -5 << 5 << QVariant(1.5)
                                             << QVariant(-5.5) << false << false << QVariant(1.5);
        QTest::newRow("double same as read text")
            << K::SpinFloat << 0 << 0 << QVariant(Sep("12.50")) << QVariant(12.5) << true << false
            << QVariant(Sep("12.50"));
        QTest::newRow("combo listed")
            << K::Combo << 0 << 0 << QVariant(1) << QVariant(0) << true << true << QVariant(0);
        QTest::newRow("combo unlisted")
            << K::Combo << 0 << 0 << QVariant(1) << QVariant(7) << false << false << QVariant(1);
        QTest::newRow("combo unchanged")
            << K::Combo << 0 << 0 << QVariant(1) << QVariant(1) << true << false << QVariant(1);
        QTest::newRow("text") << K::Text << 0 << 4 << QVariant("ab") << QVariant("abcd") << true
                              << true << QVariant("abcd");
        QTest::newRow("text too long") << K::Text << 0 << 4 << QVariant("ab") << QVariant("abcde")
                                       << false << false << QVariant("ab");
        QTest::newRow("text unlimited")
            << K::Text << 0 << 0 << QVariant("ab") << QVariant(QString(300, u'x')) << true << true
            << QVariant(QString(300, u'x'));
        QTest::newRow("text unchanged") << K::Text << 0 << 0 << QVariant("ab") << QVariant("ab")
                                        << true << false << QVariant("ab");
    }
    void userEdits() {
        QFETCH(TEditorKind, kind);
        QFETCH(int, min);
        QFETCH(int, max);
        QFETCH(QVariant, before);
        QFETCH(QVariant, input);
        QFETCH(bool, accepted);
        QFETCH(bool, marked);
        QFETCH(QVariant, after);
        TSettingsGrid grid;
        TGridRow* row = AddSetting(grid, nullptr, QStringLiteral("row_0_3"), 3, kind, before);
        row->Min = min;
        row->Max = max;
        row->Choices = {{0, QStringLiteral("0. Kapalı")}, {1, QStringLiteral("1. Açık")}};
        QCOMPARE(UserEdit(grid, row, input), accepted);
        QCOMPARE(row->Value, after);
        QCOMPARE(row->Tag, marked ? -3 : 3);
        QCOMPARE(row->HeaderStyle,
                 marked ? THeaderStyle::styleRowHeaderChanged : THeaderStyle::styleRowHeader);
    }

    void editsRefused_data() {
        QTest::addColumn<QString>("situation");
        QTest::newRow("read-only row") << "readonly";
        QTest::newRow("grid disabled") << "disabled";
        QTest::newRow("header cell") << "header";
        QTest::newRow("display role") << "display";
        QTest::newRow("category row") << "category";
    }
    void editsRefused() {
        QFETCH(QString, situation);
        TSettingsGrid grid;
        TGridRow* cat = grid.AddCategory(QStringLiteral("G"), false);
        TGridRow* row = AddSetting(grid, cat, QStringLiteral("row_0_3"), 3);
        QModelIndex target = grid.IndexOf(row, 1);
        int role = Qt::EditRole;
        if (situation == u"readonly") row->Editable = false;
        if (situation == u"disabled") grid.SetEnabled(false);
        if (situation == u"header") target = grid.IndexOf(row, 0);
        if (situation == u"display") role = Qt::DisplayRole;
        if (situation == u"category") target = grid.IndexOf(cat, 1);
        QVERIFY(!grid.setData(target, 42, role));
        QCOMPARE(row->Value, QVariant(0));
        QCOMPARE(row->Tag, 3);
        QCOMPARE(bool(grid.flags(grid.IndexOf(row, 1)) & Qt::ItemIsEditable),
                 situation != u"readonly");
    }

    void valueText_data() {
        QTest::addColumn<TEditorKind>("kind");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("expected");
        using K = TEditorKind;
        QTest::newRow("combo number") << K::Combo << QVariant(1) << "1";
        QTest::newRow("combo read text") << K::Combo << QVariant("1") << "1";
        QTest::newRow("int") << K::SpinInt << QVariant(-32768) << "-32768";
        QTest::newRow("long long") << K::Text << QVariant(qlonglong(100000)) << "100000";
        QTest::newRow("double 1.5") << K::SpinFloat << QVariant(1.5) << Sep("1.5");
        QTest::newRow("double whole") << K::SpinFloat << QVariant(100.0) << "100";
        QTest::newRow("double negative") << K::SpinFloat << QVariant(-2.25) << Sep("-2.25");
        QTest::newRow("double 15 digits") << K::SpinFloat << QVariant(0.1 + 0.2) << Sep("0.3");
        QTest::newRow("double large") << K::SpinFloat << QVariant(1e20) << "1E20";
        QTest::newRow("double small") << K::SpinFloat << QVariant(0.00001) << "1E-5";
        QTest::newRow("double read text") << K::SpinFloat << QVariant("12.50") << "12.50";
        QTest::newRow("text") << K::Text << QVariant("Şifre 12") << "Şifre 12";
        QTest::newRow("empty text") << K::Text << QVariant(QString()) << "";
        QTest::newRow("no value") << K::SpinInt << QVariant() << "";
    }
    void valueText() {
        QFETCH(TEditorKind, kind);
        QFETCH(QVariant, value);
        QFETCH(QString, expected);
        TSettingsGrid grid;
        TGridRow* row = AddSetting(grid, nullptr, QStringLiteral("row_1_1"), 1, kind, value);
        QCOMPARE(row->ValueText(), expected);
    }

    void displayText_data() {
        QTest::addColumn<TEditorKind>("kind");
        QTest::addColumn<int>("decimals");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("expected");
        using K = TEditorKind;
        QTest::newRow("combo choice") << K::Combo << 0 << QVariant(1) << "1. Açık";
        QTest::newRow("combo read text") << K::Combo << 0 << QVariant("0") << "0. Kapalı";
        QTest::newRow("combo unlisted") << K::Combo << 0 << QVariant(5) << "5";
        QTest::newRow("double 2 places") << K::SpinFloat << 2 << QVariant(1.5) << Sep("1.50");
        QTest::newRow("double 0 places") << K::SpinFloat << 0 << QVariant(7.0) << "7";
        QTest::newRow("double 3 places rounds")
            << K::SpinFloat << 3 << QVariant(2.71828) << Sep("2.718");
        QTest::newRow("double read text") << K::SpinFloat << 2 << QVariant("12.5") << "12.5";
        QTest::newRow("int") << K::SpinInt << 0 << QVariant(42) << "42";
        QTest::newRow("text") << K::Text << 0 << QVariant("abc") << "abc";
    }
    void displayText() {
        QFETCH(TEditorKind, kind);
        QFETCH(int, decimals);
        QFETCH(QVariant, value);
        QFETCH(QString, expected);
        TSettingsGrid grid;
        TGridRow* row = AddSetting(grid, nullptr, QStringLiteral("row_1_1"), 1, kind, value);
        row->Decimals = decimals;
        row->Choices = {{0, QStringLiteral("0. Kapalı")}, {1, QStringLiteral("1. Açık")}};
        grid.RowChanged(row);
        QCOMPARE(row->DisplayText(), expected);
        QCOMPARE(grid.IndexOf(row, 1).data(Qt::DisplayRole).toString(), expected);
        QCOMPARE(grid.IndexOf(row, 1).data(Qt::EditRole), value);
    }

    void spinBounds_data() {
        QTest::addColumn<TEditorKind>("kind");
        QTest::addColumn<int>("min");
        QTest::addColumn<int>("max");
        QTest::addColumn<int>("typeMin");
        QTest::addColumn<int>("typeMax");
        QTest::addColumn<double>("lower");
        QTest::addColumn<double>("upper");
        using K = TEditorKind;
        QTest::newRow("bounded") << K::SpinInt << -10 << 10 << 0 << 65535 << -10.0 << 10.0;
        QTest::newRow("max = min, unsigned")
            << K::SpinInt << 0 << 0 << 0 << 65535 << 0.0 << 65535.0;
        QTest::newRow("max < min, signed")
            << K::SpinInt << 5 << 1 << -32768 << 32767 << -32768.0 << 32767.0;
        QTest::newRow("no type range")
            << K::SpinInt << 0 << 0 << 0 << 0 << double(INT_MIN) << double(INT_MAX);
        QTest::newRow("double bounded") << K::SpinFloat << 0 << 50 << 0 << 0 << 0.0 << 50.0;
        QTest::newRow("double unbounded")
            << K::SpinFloat << 0 << 0 << 0 << 0 << -double(FLT_MAX) << double(FLT_MAX);
    }
    void spinBounds() {
        QFETCH(TEditorKind, kind);
        QFETCH(int, min);
        QFETCH(int, max);
        QFETCH(int, typeMin);
        QFETCH(int, typeMax);
        QFETCH(double, lower);
        QFETCH(double, upper);
        TSettingsGrid grid;
        TGridRow* row = AddSetting(grid, nullptr, QStringLiteral("row_1_1"), 1, kind, 0);
        row->Min = min;
        row->Max = max;
        row->TypeMin = typeMin;
        row->TypeMax = typeMax;
        QCOMPARE(grid.IndexOf(row, 1).data(LowerBoundRole).toDouble(), lower);
        QCOMPARE(grid.IndexOf(row, 1).data(UpperBoundRole).toDouble(), upper);
        // user edits stay inside the same bounds
        QCOMPARE(UserEdit(grid, row, upper), true);
        if (upper < INT_MAX) QCOMPARE(UserEdit(grid, row, upper + 1), false);
    }

    void rolesForViews() {
        TSettingsGrid grid;
        TGridRow* cat = grid.AddCategory(QStringLiteral("Alarm Ayarlari"), true);
        TGridRow* row = AddSetting(grid, cat, QStringLiteral("row_2_7"), 7, TEditorKind::Combo, 1);
        row->Hint = QStringLiteral("Çalışma modu\r\nMinimum: 0 Maksimum: 1");
        row->Choices = {{0, QStringLiteral("0. Kapalı")}, {1, QStringLiteral("1. Açık")}};
        grid.RowChanged(row);
        const QModelIndex header = grid.IndexOf(row, 0), value = grid.IndexOf(row, 1);
        QCOMPARE(header.data().toString(), QStringLiteral("row_2_7"));
        QCOMPARE(value.data(Qt::ToolTipRole).toString(),
                 QStringLiteral("Çalışma modu\nMinimum: 0 Maksimum: 1"));
        QCOMPARE(header.data(Qt::ToolTipRole), value.data(Qt::ToolTipRole));
        const QFont font = header.data(Qt::FontRole).value<QFont>();
        QCOMPARE(font.family(), QStringLiteral("Tahoma"));
        QCOMPARE(font.pixelSize(), 13);
        QCOMPARE(font.italic(), false);
        QCOMPARE(value.data(Qt::BackgroundRole).value<QBrush>().color(), QColor(Qt::white));
        QCOMPARE(value.data(EditorKindRole).toInt(), int(TEditorKind::Combo));
        const QVariantList choices = value.data(ChoicesRole).toList();
        QCOMPARE(choices.size(), 2);
        QCOMPARE(choices.at(1).toList(), (QVariantList{1, QStringLiteral("1. Açık")}));
        const QModelIndex catIndex = grid.IndexOf(cat);
        QCOMPARE(catIndex.data(IsCategoryRole).toBool(), true);
        QCOMPARE(catIndex.data().toString(), QStringLiteral("Alarm Ayarlari"));
        QCOMPARE(cat->Collapsed, true);
        QVERIFY(!(grid.flags(catIndex) & Qt::ItemIsEditable));
        QVERIFY(grid.flags(header) & Qt::ItemNeverHasChildren);
        QCOMPARE(grid.rowCount(catIndex), 1);
        QCOMPARE(grid.rowCount(grid.IndexOf(cat, 1)), 0);
    }

    void moveRowOrdering_data() {
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        QTest::addColumn<QString>("expected");
        QTest::newRow("last to 1") << 3 << 1 << "a d b c";
        QTest::newRow("last to first") << 3 << 0 << "d a b c";
        QTest::newRow("first to last") << 0 << 3 << "b c d a";
        QTest::newRow("down one") << 1 << 2 << "a c b d";
        QTest::newRow("same place") << 2 << 2 << "a b c d";
        QTest::newRow("beyond the end") << 3 << 4 << "a b c d";
        QTest::newRow("negative") << 3 << -1 << "a b c d";
    }
    void moveRowOrdering() {
        QFETCH(int, from);
        QFETCH(int, to);
        QFETCH(QString, expected);
        TSettingsGrid grid;
        QAbstractItemModelTester tester(&grid);
        TGridRow* cat = grid.AddCategory(QStringLiteral("G"), false);
        for (const char* n : {"a", "b", "c", "d"})
            AddSetting(grid, cat, QLatin1String(n), 1);
        grid.MoveRow(cat->Child(from), to);
        QCOMPARE(ChildNames(cat).join(u' '), expected);
        for (const QString& n : expected.split(u' '))
            QCOMPARE(grid.FindRow(n)->Index(), expected.split(u' ').indexOf(n));
    }

    void clearRemovesEverything() {
        TSettingsGrid grid;
        QAbstractItemModelTester tester(&grid);
        grid.SetModelName(QStringLiteral("RX-B2"));
        TGridRow* cat = grid.AddCategory(QStringLiteral("G"), false);
        TGridRow* row = AddSetting(grid, cat, QStringLiteral("row_1_1"), 1);
        QVERIFY(UserEdit(grid, row, 3));
        grid.Clear();
        QCOMPARE(grid.rowCount(), 0);
        QCOMPARE(grid.EditorRowCount(), 0);
        QVERIFY(grid.Categories().isEmpty());
        QCOMPARE(grid.FindRow(QStringLiteral("row_1_1")), nullptr);
        QCOMPARE(grid.ModelName(), QStringLiteral("RX-B2"));
        // the same names are free for the next build, unmarked
        TGridRow* again = AddSetting(grid, grid.AddCategory(QStringLiteral("G"), false),
                                     QStringLiteral("ROW_1_1"), 1);
        QCOMPARE(grid.FindRow(QStringLiteral("row_1_1")), again);
        QCOMPARE(again->Tag, 1);
    }

    void removeCategoryDropsItsRows() {
        TSettingsGrid grid;
        QAbstractItemModelTester tester(&grid);
        TGridRow* first = grid.AddCategory(QStringLiteral("A"), false);
        AddSetting(grid, first, QStringLiteral("row_a_1"), 1);
        AddSetting(grid, first, QStringLiteral("row_a_2"), 2);
        TGridRow* second = grid.AddCategory(QStringLiteral("B"), false);
        AddSetting(grid, second, QStringLiteral("row_b_1"), 1);
        grid.RemoveRow(first);
        QCOMPARE(grid.EditorRowCount(), 1);
        QCOMPARE(grid.FindRow(QStringLiteral("row_a_1")), nullptr);
        QCOMPARE(second->Index(), 0);
        QCOMPARE(grid.Categories(), QList<TGridRow*>{second});
    }

    void rowsWithoutCategoryGoToTheTopLevel() {
        TSettingsGrid grid;
        QAbstractItemModelTester tester(&grid);
        TGridRow* loose = AddSetting(grid, nullptr, QStringLiteral("row_0_1"), 1);
        TGridRow* cat = grid.AddCategory(QStringLiteral("G"), false);
        TGridRow* notCategory = grid.AddEditorRow(loose); // an editor row takes no children
        QCOMPARE(loose->Parent(), nullptr);
        QCOMPARE(notCategory->Parent(), nullptr);
        QCOMPARE(grid.TopLevelCount(), 3);
        QCOMPARE(grid.TopLevelRow(1), cat);
        QCOMPARE(grid.Categories(), QList<TGridRow*>{cat});
    }

    void turkishDecimalComma() {
        const QLocale saved;
        QLocale::setDefault(QLocale(QLocale::Turkish, QLocale::Turkey));
        TSettingsGrid grid;
        TGridRow* row =
            AddSetting(grid, nullptr, QStringLiteral("row_1_1"), 1, TEditorKind::SpinFloat, 1.5);
        row->Decimals = 2;
        const QString valueText = row->ValueText(), displayText = row->DisplayText();
        const bool typedAccepted = UserEdit(grid, row, QStringLiteral("2,25"));
        const QVariant typed = row->Value;
        QLocale::setDefault(saved);
        QCOMPARE(valueText, QStringLiteral("1,5"));
        QCOMPARE(displayText, QStringLiteral("1,50"));
        QVERIFY(typedAccepted);
        QCOMPARE(typed, QVariant(2.25));
    }

    // While the grid is disabled (a build), views learn of new rows in batches when events
    // are processed; whatever happens in between, they end up seeing every row in order.
    void buildWhileDisabled_data() {
        QTest::addColumn<QString>("midBuild");
        QTest::newRow("plain build") << "";
        QTest::newRow("move among waiting rows") << "move waiting";
        QTest::newRow("move among shown rows") << "move shown";
        QTest::newRow("remove a row") << "remove";
        QTest::newRow("flush") << "flush";
        QTest::newRow("clear") << "clear";
    }
    void buildWhileDisabled() {
        QFETCH(QString, midBuild);
        TSettingsGrid grid;
        QAbstractItemModelTester tester(&grid);
        QSignalSpy changed(&grid, &QAbstractItemModel::dataChanged);
        grid.SetEnabled(false);
        TGridRow* cat = nullptr;
        int shownAfterFirstRound = -1;
        for (int i = 0; i < 1000; ++i) {
            if (i % 20 == 0) cat = grid.AddCategory(QString::number(i / 20), i % 40 == 0);
            TGridRow* row = AddSetting(grid, cat, QStringLiteral("r%1").arg(i), i);
            grid.SetValue(row, i);
            QCOMPARE(grid.FindRow(row->Name), row);
            if (i == 10 && midBuild == u"move waiting") grid.MoveRow(row, 3);
            if (i == 620 && midBuild == u"move shown")
                grid.MoveRow(grid.Categories()[0]->Child(1), 0);
            if (i == 630 && midBuild == u"remove") grid.RemoveRow(grid.FindRow(u"r625"_qs));
            if (i == 640 && midBuild == u"flush") {
                grid.Flush();
                QCOMPARE(ViewNames(grid), AllNames(grid));
            }
            if (i == 650 && midBuild == u"clear") {
                grid.Clear();
                cat = grid.AddCategory(QStringLiteral("yeni"), false);
            }
            if ((i + 1) % 50 == 0) {
                QCoreApplication::processEvents();
                if (i == 49) shownAfterFirstRound = ViewNames(grid).size();
            }
        }
        // the first rounds show everything added so far
        QCOMPARE(shownAfterFirstRound, 50 + 3);
        QVERIFY(ViewNames(grid) != AllNames(grid)); // the last rows still wait
        grid.SetEnabled(true);
        QCOMPARE(ViewNames(grid), AllNames(grid));
        QCOMPARE(grid.EditorRowCount(), midBuild == u"clear"    ? 349
                                        : midBuild == u"remove" ? 999
                                                                : 1000);
        // rows are filled in before the views learn of them: no change reports at all
        QCOMPARE(changed.size(), 0);
    }

    void enabledState() {
        TSettingsGrid grid;
        QSignalSpy spy(&grid, &TSettingsGrid::EnabledChanged);
        grid.SetEnabled(false);
        grid.SetEnabled(false);
        grid.SetEnabled(true);
        QCOMPARE(spy.size(), 2);
        QCOMPARE(spy.at(0).at(0).toBool(), false);
        QVERIFY(grid.Enabled());
    }
};

QTEST_MAIN(TestEditor)
#include "tst_editor.moc"
