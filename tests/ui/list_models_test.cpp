// The window's list models checked by Qt's own model tester while the
// editing layer changes the model under them: every signal must match the
// rows as they are, or the tester fails the test.
#include "edit/setup_editor.h"
#include "ui/list_models.h"

#include <QAbstractItemModelTester>
#include <QTest>

using namespace tarnwick;

class ListModelsTest : public QObject {
    Q_OBJECT

private slots:
    void DeletingGroupsWithManyRunsKeepsTheModelsConsistent_data()
    {
        QTest::addColumn<int>("runs");
        QTest::newRow("run by run") << 5;
        QTest::newRow("one reset") << 200;
    }

    void DeletingGroupsWithManyRunsKeepsTheModelsConsistent()
    {
        QFETCH(int, runs);
        SetupModel model;
        edit::SetupEditor editor(model);
        ui::ListModels lists(model, {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"),
                                     QStringLiteral("d"), QStringLiteral("e")},
                             {QStringLiteral("h")});
        editor.SetListEvents(lists);
        using Mode = QAbstractItemModelTester::FailureReportingMode;
        QAbstractItemModelTester groups(&lists.Groups(), Mode::QtTest);
        QAbstractItemModelTester servers(&lists.Servers(), Mode::QtTest);
        QAbstractItemModelTester updates(&lists.Updates(), Mode::QtTest);

        for (const char* name : {"A", "B", "C"})
            QCOMPARE(editor.AddGroup(name), edit::Outcome::Done);
        // Servers of A, B and C interleaved, so that A's are `runs` separate runs.
        for (int i = 0; i < runs; ++i)
            for (const char* group : {"A", "B", "C"})
                QCOMPARE(editor.AddServer({"s", "n", "a", "1", std::string(group)}), edit::Outcome::Done);
        QCOMPARE(editor.MoveServer(0, +1), edit::Outcome::ServerMoveKeepsSavedOrder);
        QCOMPARE(editor.MoveGroup(2, -1), edit::Outcome::Done);
        QCOMPARE(editor.EditServer(4, {"t", "n", "a", "1", std::string("B")}), edit::Outcome::Done);
        QCOMPARE(editor.DeleteServer(1), edit::Outcome::Done);
        edit::UpdateInput update;
        update.Hint = update.DownUrl = update.SaveName = "x";
        update.CheckTypeIndex = 1;
        QCOMPARE(editor.AddUpdate(update), edit::Outcome::Done);

        QCOMPARE(editor.DeleteGroup(0), edit::Outcome::Done); // A
        QCOMPARE(lists.Servers().rowCount({}), 2 * runs);
        QCOMPARE(editor.DeleteGroup(1), edit::Outcome::Done); // B, now second after C moved up
        QCOMPARE(lists.Servers().rowCount({}), runs);
        QCOMPARE(lists.Groups().rowCount({}), 1);
        QCOMPARE(lists.Servers().data(lists.Servers().index(0, 0), Qt::DisplayRole).toString(), QStringLiteral("C"));
        QCOMPARE(editor.DeleteUpdate(0), edit::Outcome::Done);
        QCOMPARE(lists.Updates().rowCount({}), 0);
    }
};

QTEST_MAIN(ListModelsTest)
#include "list_models_test.moc"
