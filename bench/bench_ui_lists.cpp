// bench_ui_lists: a click on the main window's list buttons, and an undo or
// redo of what they did, at 1,000 and at 100,000 servers (one group per 50
// servers), through the real window on the offscreen platform, events and
// repaints included. Each operation may take at
// most 30 ms at 100,000 servers and at most twice its time at 1,000.
#include "config/document.h"
#include "launcher/launcher_builder.h"
#include "ui/form_edit_server.h"
#include "ui/form_edit_up_data.h"
#include "ui/form_main.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <vector>

using namespace tarnwick;
using namespace tarnwick::ui;

namespace {

// Confirms everything and names each new group anew.
class Agreeing : public Operator {
public:
    bool Notice(NoticeKind kind, const std::string&, const tarnwick::Message& text) override
    {
        if (kind == NoticeKind::Refusal)
            std::fprintf(stderr, "refused: %s\n", text.Chinese().c_str());
        return true;
    }
    bool InputQuery(const std::string&, const std::string&, std::string& text) override
    {
        text = "bench group " + std::to_string(++groups_);
        return true;
    }
    SaveAnswer AskToSave(const std::string&, const std::string&) override { return SaveAnswer::Discard; }
    bool ChooseNewFile(const std::string&, std::filesystem::path&) override { return false; }
    bool OpenFolder(const std::filesystem::path&) override { return false; }

private:
    int groups_ = 0;
};

void WriteWorkingCopy(const std::filesystem::path& folder, int servers)
{
    SetupModel model;
    const int groups = std::max(1, servers / 50);
    for (int g = 0; g < groups; ++g)
        model.groups.Append({"zone " + std::to_string(g)});
    for (int s = 0; s < servers; ++s)
        model.servers.Append({"zone " + std::to_string(s % groups), "server " + std::to_string(s),
                              "line " + std::to_string(s), "10.0." + std::to_string(s / 256 % 256) + "." +
                              std::to_string(s % 256), "7000"});
    ConfigurationDocument document(folder / "Tarnwick.xml");
    document.WriteConfiguration(model, folder / "Tarnwick.xml", false);
}

template <class W>
W& Find(QWidget& root, const char* name)
{
    return *root.findChild<W*>(QString::fromLatin1(name));
}

using Timings = std::map<std::string, double>;

// Median of five clicks, each after `prepare`, in milliseconds.
double Time(const std::function<void()>& prepare, const std::function<void()>& click)
{
    std::vector<double> times;
    for (int i = 0; i < 5; ++i) {
        prepare();
        QApplication::processEvents();
        const auto start = std::chrono::steady_clock::now();
        click();
        QApplication::processEvents();
        times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[2];
}

Timings Measure(int servers)
{
    QTemporaryDir folder;
    WriteWorkingCopy(folder.path().toStdString(), servers);
    Agreeing op;
    const auto started = std::chrono::steady_clock::now();
    TFormMain main(op, CarriedLauncherImage(), folder.path().toStdString());
    const std::chrono::duration<double, std::milli> opening = std::chrono::steady_clock::now() - started;
    TFormEditUpData update(op, &main);
    TFormEditServer server(op, &main);
    main.AttachDialogs(server, update);
    // Each showing types other text: an edit that stores what the row holds changes nothing.
    int showings = 0;
    server.SetModalRunner([&](QDialog&) {
        Find<QComboBox>(server, "ComboBoxServerGroup").setCurrentIndex(0);
        Find<QLineEdit>(server, "EditShowName").setText(QStringLiteral("bench %1").arg(++showings));
        for (const char* field : {"EditName", "EditAddr"})
            Find<QLineEdit>(server, field).setText(QStringLiteral("bench"));
        Find<QPushButton>(server, "ButtonOk").click();
        return server.result();
    });
    main.show();
    QApplication::processEvents();

    MainWindowLogic& logic = main.Logic();
    auto& servers_ = Find<QTableView>(main, "lvServerList");
    auto& groups = Find<QComboBox>(main, "cbbServerGroup");
    const auto click = [&](const char* button) { return [&main, button] { Find<QPushButton>(main, button).click(); }; };
    const auto nothing = [] {};
    const auto middleServer = [&] { servers_.selectRow(static_cast<int>(logic.Model().servers.Count() / 2)); };
    const auto middleGroup = [&] { groups.setCurrentIndex(static_cast<int>(logic.Model().groups.Count() / 2)); };

    Timings t;
    t["server add"] = Time(nothing, click("btnAddServer"));
    t["server edit"] = Time(middleServer, click("btnEditServer"));
    t["server move"] = Time(middleServer, click("BtnGameUp"));
    t["server delete"] = Time(middleServer, click("btnDelServer"));
    t["group add"] = Time(nothing, click("btnAddGroup"));
    t["group move"] = Time(middleGroup, click("BtnMoveSrvUp"));
    t["group delete (and its servers)"] = Time(middleGroup, click("btnDelGroup"));
    // Ctrl+Z and Ctrl+Y: the window's actions.
    const auto undo = [&main] { main.findChild<QAction*>(QStringLiteral("UndoAction"))->trigger(); };
    const auto redo = [&main] { main.findChild<QAction*>(QStringLiteral("RedoAction"))->trigger(); };
    t["undo server delete"] = Time([&] { middleServer(); click("btnDelServer")(); }, undo);
    t["undo group delete"] = Time([&] { middleGroup(); click("btnDelGroup")(); }, undo);
    t["redo group delete"] = Time([&] { middleGroup(); click("btnDelGroup")(); undo(); }, redo);
    // Not clicks, so outside the targets: the window's start (lock, load and
    // the fingerprint of what was loaded) and the check for unsaved edits
    // that closing makes.
    std::printf("%d servers: window opened in %.0f ms; unsaved-edits check %.1f ms\n", servers, opening.count(),
                Time(nothing, [&] { (void)logic.HasUnsavedEdits(); }));
    return t;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const Timings small = Measure(1000);
    const Timings large = Measure(100000);
    std::printf("%-32s %12s %12s %8s\n", "operation (median of 5)", "1,000", "100,000", "ratio");
    bool ok = true;
    for (const auto& [name, ms] : large) {
        const double ratio = ms / std::max(small.at(name), 0.05);
        ok = ok && ms <= 30.0 && ratio <= 2.0;
        std::printf("%-32s %9.2f ms %9.2f ms %8.2f\n", name.c_str(), small.at(name), ms, ratio);
    }
    std::printf("targets (<= 30 ms at 100,000, <= 2x the time at 1,000): %s\n", ok ? "met" : "NOT met");
    return 0;
}
