#include "config/Convert.h"
#include "editor/SettingsGrid.h"
#include "shell/grid/GridView.h"

#include <QApplication>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QSpinBox>
#include <QTest>
#include <QVBoxLayout>

#include <climits>
#include <memory>

using namespace kolva;

namespace {

// A small grid the way a build makes it, shown in a window beside another input field.
struct Fixture {
    TSettingsGrid grid;
    QWidget window;
    TGridView* view = nullptr;
    QLineEdit* elsewhere = nullptr;

    Fixture() {
        auto* layout = new QVBoxLayout(&window);
        view = new TGridView(&window);
        elsewhere = new QLineEdit(&window);
        layout->addWidget(view);
        layout->addWidget(elsewhere);
        view->SetGrid(&grid);
        Build();
        window.resize(800, 600);
    }

    TGridRow* Add(TGridRow* cat, const QString& name, TEditorKind kind, const QVariant& value,
                  int min = 0, int max = 0) {
        TGridRow* row = grid.AddEditorRow(cat);
        row->Caption = name;
        row->Tag = cat->Index() * 100 + cat->ChildCount();
        row->Editor = kind;
        row->Value = value;
        row->Min = min;
        row->Max = max;
        grid.AddName(row, name);
        grid.RowChanged(row);
        return row;
    }

    void Build(bool alarmCollapsed = true) {
        grid.Clear();
        TGridRow* general = grid.AddCategory(QStringLiteral("Genel"), false);
        Add(general, QStringLiteral("int"), TEditorKind::SpinInt, 5, 0, 100);
        TGridRow* unbounded = Add(general, QStringLiteral("unsigned"), TEditorKind::SpinInt, 7);
        unbounded->TypeMin = 0;
        unbounded->TypeMax = 65535;
        TGridRow* dbl = Add(general, QStringLiteral("double"), TEditorKind::SpinFloat, 1.5, 0, 50);
        dbl->Decimals = 2;
        dbl->Step = 0.1;
        dbl->LargeStep = 1.0;
        Add(general, QStringLiteral("freedouble"), TEditorKind::SpinFloat, 2.0)->Decimals = 3;
        TGridRow* combo = Add(general, QStringLiteral("combo"), TEditorKind::Combo, 1);
        combo->Choices = {{0, QStringLiteral("0. Kapalı")}, {1, QStringLiteral("1. Açık")}};
        Add(general, QStringLiteral("text"), TEditorKind::Text, QStringLiteral("abc"), 0, 8);
        Add(general, QStringLiteral("freetext"), TEditorKind::Text, QString());
        Add(general, QStringLiteral("readonly"), TEditorKind::SpinInt, 3)->Editable = false;
        TGridRow* alarm = grid.AddCategory(QStringLiteral("Alarm"), alarmCollapsed);
        Add(alarm, QStringLiteral("alarm"), TEditorKind::SpinInt, 1);
        TGridRow* last = grid.AddCategory(QStringLiteral("Son"), false);
        Add(last, QStringLiteral("last"), TEditorKind::Text, QStringLiteral("x"));
    }

    bool Show() {
        window.show();
        window.activateWindow();
        return QTest::qWaitForWindowActive(&window);
    }
    TGridRow* Row(const char* name) { return grid.FindRow(QLatin1String(name)); }
    QModelIndex Value(const char* name) { return grid.IndexOf(Row(name), 1); }
    QWidget* OpenEditor(const char* name) {
        const QModelIndex index = Value(name);
        view->setCurrentIndex(index);
        view->edit(index);
        return view->indexWidget(index);
    }
    QString CurrentName() const {
        const TGridRow* row = grid.RowFromIndex(view->currentIndex());
        return row ? row->Name : QString();
    }
};

} // namespace

class TestGridView : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void editorsByKind_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("editorClass");
        QTest::addColumn<double>("minimum");
        QTest::addColumn<double>("maximum");
        QTest::addColumn<int>("decimals");
        QTest::addColumn<QVariant>("shown");
        QTest::addColumn<QStringList>("items");
        QTest::newRow("bounded int")
            << "int"
            << "QSpinBox" << 0.0 << 100.0 << 0 << QVariant(5) << QStringList();
        QTest::newRow("int in its type's range")
            << "unsigned"
            << "QSpinBox" << 0.0 << 65535.0 << 0 << QVariant(7) << QStringList();
        QTest::newRow("bounded double")
            << "double"
            << "QDoubleSpinBox" << 0.0 << 50.0 << 2 << QVariant(1.5) << QStringList();
        QTest::newRow("unbounded double")
            << "freedouble"
            << "QDoubleSpinBox" << -1e38 << 1e38 << 3 << QVariant(2.0) << QStringList();
        QTest::newRow("combo") << "combo"
                               << "QComboBox" << 0.0 << 0.0 << 0 << QVariant(1)
                               << QStringList{QStringLiteral("0. Kapalı"),
                                              QStringLiteral("1. Açık")};
        QTest::newRow("text") << "text"
                              << "QLineEdit" << 0.0 << 8.0 << 0 << QVariant("abc") << QStringList();
        QTest::newRow("unlimited text")
            << "freetext"
            << "QLineEdit" << 0.0 << double(INT_MAX) << 0 << QVariant("") << QStringList();
    }
    void editorsByKind() {
        QFETCH(QString, name);
        QFETCH(QString, editorClass);
        QFETCH(double, minimum);
        QFETCH(double, maximum);
        QFETCH(int, decimals);
        QFETCH(QVariant, shown);
        QFETCH(QStringList, items);
        Fixture f;
        QVERIFY(f.Show());
        QWidget* editor = f.OpenEditor(name.toLatin1().constData());
        QVERIFY(editor);
        QVERIFY(editor->inherits(editorClass.toLatin1().constData()));
        if (auto* spin = qobject_cast<QSpinBox*>(editor)) {
            QCOMPARE(spin->minimum(), int(minimum));
            QCOMPARE(spin->maximum(), int(maximum));
            QCOMPARE(spin->singleStep(), 1);
            QCOMPARE(QVariant(spin->value()), shown);
        } else if (auto* spin = qobject_cast<QDoubleSpinBox*>(editor)) {
            if (minimum < -1e37) {
                QVERIFY(spin->minimum() <= minimum);
                QVERIFY(spin->maximum() >= maximum);
            } else {
                QCOMPARE(spin->minimum(), minimum);
                QCOMPARE(spin->maximum(), maximum);
            }
            QCOMPARE(spin->decimals(), decimals);
            QCOMPARE(QVariant(spin->value()), shown);
        } else if (auto* combo = qobject_cast<QComboBox*>(editor)) {
            QStringList texts;
            for (int i = 0; i < combo->count(); ++i)
                texts << combo->itemText(i);
            QCOMPARE(texts, items);
            QCOMPARE(combo->currentData(), shown);
        } else if (auto* line = qobject_cast<QLineEdit*>(editor)) {
            QCOMPARE(line->maxLength(), int(maximum));
            QCOMPARE(QVariant(line->text()), shown);
        }
    }

    void spinSteps_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("key");
        QTest::addColumn<double>("expected");
        QTest::newRow("int up") << "int" << int(Qt::Key_Up) << 6.0;
        QTest::newRow("int page up") << "int" << int(Qt::Key_PageUp) << 15.0;
        QTest::newRow("int page down stops at min") << "int" << int(Qt::Key_PageDown) << 0.0;
        QTest::newRow("double up") << "double" << int(Qt::Key_Up) << 1.6;
        QTest::newRow("double page up") << "double" << int(Qt::Key_PageUp) << 2.5;
        QTest::newRow("double page down") << "double" << int(Qt::Key_PageDown) << 0.5;
    }
    void spinSteps() {
        QFETCH(QString, name);
        QFETCH(int, key);
        QFETCH(double, expected);
        Fixture f;
        QVERIFY(f.Show());
        QWidget* editor = f.OpenEditor(name.toLatin1().constData());
        QVERIFY(editor);
        QTest::keyClick(editor, Qt::Key(key));
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_VERIFY(!f.view->indexWidget(f.Value(name.toLatin1().constData())));
        QCOMPARE(f.Row(name.toLatin1().constData())->Value.toDouble(), expected);
    }

    // Each way of leaving an editor, and whether the value is taken and the row marked.
    void leavingTheEditor_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("changeValue");
        QTest::addColumn<bool>("marked");
        QTest::newRow("enter") << "enter" << true << true;
        QTest::newRow("focus out") << "focus" << true << true;
        QTest::newRow("tab") << "tab" << true << true;
        QTest::newRow("escape") << "escape" << true << false;
        QTest::newRow("enter without change") << "enter" << false << false;
    }
    void leavingTheEditor() {
        QFETCH(QString, how);
        QFETCH(bool, changeValue);
        QFETCH(bool, marked);
        Fixture f;
        QVERIFY(f.Show());
        auto* spin = qobject_cast<QSpinBox*>(f.OpenEditor("int"));
        QVERIFY(spin);
        QTRY_VERIFY(spin->hasFocus());
        if (changeValue) {
            QTest::keyClick(spin, Qt::Key_A, Qt::ControlModifier);
            QTest::keyClicks(spin, QStringLiteral("70"));
        }
        if (how == u"enter") QTest::keyClick(spin, Qt::Key_Return);
        if (how == u"escape") QTest::keyClick(spin, Qt::Key_Escape);
        if (how == u"tab") QTest::keyClick(spin, Qt::Key_Tab);
        if (how == u"focus") f.elsewhere->setFocus();
        QTRY_VERIFY(!f.view->indexWidget(f.Value("int")));
        const TGridRow* row = f.Row("int");
        QCOMPARE(row->Value, QVariant(marked ? 70 : 5));
        QCOMPARE(row->Tag < 0, marked);
        QCOMPARE(row->HeaderStyle,
                 marked ? THeaderStyle::styleRowHeaderChanged : THeaderStyle::styleRowHeader);
        if (how == u"tab") QCOMPARE(f.CurrentName(), QStringLiteral("unsigned"));
    }

    // An editor opened and closed without a change leaves the stored value and the mark alone,
    // also when the editor cannot show the value exactly.
    void idleEditChangesNothing_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QVariant>("stored");
        const QString sep = DecimalSeparator();
        QTest::newRow("fixed-point text of a read") << "double" << QVariant(u"12"_qs + sep + u"50");
        QTest::newRow("more places than shown") << "double" << QVariant(1.23456);
        QTest::newRow("outside the bounds") << "int" << QVariant(500);
        QTest::newRow("no such choice") << "combo" << QVariant(7);
        QTest::newRow("longer than the editor takes") << "text" << QVariant(u"0123456789"_qs);
    }
    void idleEditChangesNothing() {
        QFETCH(QString, name);
        QFETCH(QVariant, stored);
        const QByteArray key = name.toLatin1();
        Fixture f;
        QVERIFY(f.Show());
        f.grid.SetValue(f.Row(key.constData()), stored);
        QWidget* editor = f.OpenEditor(key.constData());
        QVERIFY(editor);
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_VERIFY(!f.view->indexWidget(f.Value(key.constData())));
        QCOMPARE(f.Row(key.constData())->Value, stored);
        QCOMPARE(f.Row(key.constData())->HeaderStyle, THeaderStyle::styleRowHeader);
        QVERIFY(f.Row(key.constData())->Tag > 0);
    }

    void typingStartsEditing() {
        Fixture f;
        QVERIFY(f.Show());
        f.view->setFocus();
        f.view->setCurrentIndex(f.grid.IndexOf(f.Row("int"), 0)); // caption cell clicked
        QCOMPARE(f.view->currentIndex(), f.Value("int"));         // value cell is current
        QTest::keyClick(f.view, Qt::Key_4);
        QWidget* editor = f.view->indexWidget(f.Value("int"));
        QVERIFY(editor);
        QTRY_VERIFY(QApplication::focusWidget());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_2);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QTRY_COMPARE(f.Row("int")->Value, QVariant(42));
        QVERIFY(f.Row("int")->Tag < 0);
    }

    void openingEditors_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("opens");
        QTest::newRow("click value") << "text"
                                     << "click" << true;
        QTest::newRow("click caption") << "text"
                                       << "caption" << false;
        QTest::newRow("F2") << "text"
                            << "f2" << true;
        QTest::newRow("enter") << "text"
                               << "enter" << true;
        QTest::newRow("read-only click") << "readonly"
                                         << "click" << false;
        QTest::newRow("read-only F2") << "readonly"
                                      << "f2" << false;
        QTest::newRow("read-only typing") << "readonly"
                                          << "type" << false;
        QTest::newRow("read-only edit()") << "readonly"
                                          << "edit" << false;
    }
    void openingEditors() {
        QFETCH(QString, name);
        QFETCH(QString, how);
        QFETCH(bool, opens);
        Fixture f;
        QVERIFY(f.Show());
        f.view->setFocus();
        const QModelIndex value = f.Value(name.toLatin1().constData());
        const QModelIndex caption = value.siblingAtColumn(0);
        if (how == u"click" || how == u"caption") {
            const QModelIndex target = how == u"click" ? value : caption;
            QTest::mouseClick(f.view->viewport(), Qt::LeftButton, {},
                              f.view->visualRect(target).center());
        } else {
            f.view->setCurrentIndex(value);
            if (how == u"f2") QTest::keyClick(f.view, Qt::Key_F2);
            if (how == u"enter") QTest::keyClick(f.view, Qt::Key_Return);
            if (how == u"type") QTest::keyClick(f.view, Qt::Key_9);
            if (how == u"edit") {
                QTest::ignoreMessage(QtWarningMsg, "edit: editing failed");
                f.view->edit(value);
            }
        }
        QCOMPARE(f.view->indexWidget(value) != nullptr, opens);
        QCOMPARE(f.view->currentIndex(), value);
        QCOMPARE(f.Row(name.toLatin1().constData())->Tag > 0, true);
    }

    void tabSkipsCategories_data() {
        QTest::addColumn<bool>("alarmCollapsed");
        QTest::addColumn<QString>("from");
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("expected");
        QTest::newRow("over a collapsed category")
            << true << "readonly" << int(Qt::Key_Tab) << "last";
        QTest::newRow("into an expanded category")
            << false << "readonly" << int(Qt::Key_Tab) << "alarm";
        QTest::newRow("backwards over categories")
            << true << "last" << int(Qt::Key_Backtab) << "readonly";
        QTest::newRow("within a category") << true << "int" << int(Qt::Key_Tab) << "unsigned";
        QTest::newRow("backwards at the top stays")
            << true << "int" << int(Qt::Key_Backtab) << "int";
    }
    void tabSkipsCategories() {
        QFETCH(bool, alarmCollapsed);
        QFETCH(QString, from);
        QFETCH(int, key);
        QFETCH(QString, expected);
        Fixture f;
        f.Build(alarmCollapsed);
        QVERIFY(f.Show());
        f.view->setFocus();
        f.view->setCurrentIndex(f.Value(from.toLatin1().constData()));
        QTest::keyClick(f.view, Qt::Key(key));
        QCOMPARE(f.CurrentName(), expected);
        QCOMPARE(f.view->currentIndex().column(), 1);
    }

    void tabFromAnEditorOpensTheNext() {
        Fixture f;
        QVERIFY(f.Show());
        auto* line = qobject_cast<QLineEdit*>(f.OpenEditor("text"));
        QVERIFY(line);
        QTRY_VERIFY(line->hasFocus());
        line->setText(QStringLiteral("abcd"));
        QTest::keyClick(line, Qt::Key_Tab);
        QTRY_COMPARE(f.Row("text")->Value, QVariant(QStringLiteral("abcd")));
        QCOMPARE(f.CurrentName(), QStringLiteral("freetext"));
        QVERIFY(f.view->indexWidget(f.Value("freetext")));
    }

    void comboTakesAChoiceAtOnce() {
        Fixture f;
        QVERIFY(f.Show());
        auto* combo = qobject_cast<QComboBox*>(f.OpenEditor("combo"));
        QVERIFY(combo);
        combo->setCurrentIndex(0);
        Q_EMIT combo->activated(0);
        QCOMPARE(f.Row("combo")->Value, QVariant(0));
        QVERIFY(f.Row("combo")->Tag < 0);
        QCOMPARE(f.Value("combo").data().toString(), QStringLiteral("0. Kapalı"));
    }

    void collapsedCategories_data() {
        QTest::addColumn<bool>("viewFirst"); // rows added while the view watches, or before
        QTest::newRow("rows added while shown") << true;
        QTest::newRow("rows there before the view") << false;
    }
    void collapsedCategories() {
        QFETCH(bool, viewFirst);
        Fixture f;
        std::unique_ptr<TGridView> other;
        if (!viewFirst) {
            f.view->SetGrid(nullptr);
            f.Build();
            other = std::make_unique<TGridView>();
            other->SetGrid(&f.grid);
        }
        TGridView* view = viewFirst ? f.view : other.get();
        const QList<TGridRow*> cats = f.grid.Categories();
        QCOMPARE(cats.size(), 3);
        for (TGridRow* cat : cats)
            QCOMPARE(view->isExpanded(f.grid.IndexOf(cat)), !cat->Collapsed);
        QVERIFY(!view->grab().isNull()); // categories paint across both columns
    }

    // A build disables the grid and processes events every 50 rows: the view is disabled,
    // shows the rows as they come, and each category opens as its flag says.
    void rowsAppearDuringABuild() {
        Fixture f;
        QVERIFY(f.Show());
        f.grid.Clear();
        f.grid.SetEnabled(false);
        QVERIFY(!f.view->isEnabled());
        TGridRow* cat = nullptr;
        for (int i = 0; i < 600; ++i) {
            if (i % 30 == 0) cat = f.grid.AddCategory(QString::number(i / 30), (i / 30) % 3 == 1);
            f.Add(cat, QStringLiteral("r%1").arg(i), TEditorKind::SpinInt, i);
            if ((i + 1) % 50 == 0) {
                QApplication::processEvents();
                if (i == 49)
                    QCOMPARE(f.view->indexAt(QPoint(5, 5)), f.grid.IndexOf(f.grid.Categories()[0]));
            }
        }
        f.grid.SetEnabled(true);
        QVERIFY(f.view->isEnabled());
        const QList<TGridRow*> cats = f.grid.Categories();
        QCOMPARE(f.grid.rowCount(), cats.size());
        for (TGridRow* c : cats) {
            QCOMPARE(f.grid.rowCount(f.grid.IndexOf(c)), 30);
            QCOMPARE(f.view->isExpanded(f.grid.IndexOf(c)), !c->Collapsed);
        }
        // the last row can be reached and edited
        const QModelIndex last = f.Value("r599");
        f.view->scrollTo(last);
        QVERIFY(f.view->visualRect(last).isValid());
        f.view->edit(last);
        QVERIFY(f.view->indexWidget(last));
    }

    void gridStateReachesTheView() {
        TSettingsGrid empty;
        TGridView fresh;
        fresh.SetGrid(&empty);
        QCOMPARE(fresh.columnWidth(0), 359); // until the first build
        Fixture f;
        QCOMPARE(f.view->columnWidth(0), 450);
        f.view->setColumnWidth(0, 300); // the user drags the column
        QVERIFY(f.view->isEnabled());
        f.grid.SetEnabled(false);
        QVERIFY(!f.view->isEnabled());
        f.grid.SetEnabled(true);
        QVERIFY(f.view->isEnabled());
        // the next build sets the header width again and starts unmarked
        f.grid.EditValueChanged(f.Row("int"));
        f.Build();
        QCOMPARE(f.view->columnWidth(0), 450);
        QVERIFY(f.Row("int")->Tag > 0);
    }
};

QTEST_MAIN(TestGridView)
#include "tst_gridview.moc"
