// With 1,000 saved Projects: the start-up load of the index, one save of a
// new Project, and "Delete All Projects" confirmed. The peer is the index
// rewrite done by key-by-key profile writes gathered into one replacement.
#include "projects/ProjectEditorPage.h"
#include "projects/ProjectFile.h"
#include "projects/ProjectIndex.h"
#include "projects/ProjectListModel.h"
#include "projects/ProjectStore.h"
#include "settings/IniFile.h"
#include "support/ScriptedDialogs.h"
#include "support/TempProgramDir.h"

#include <QApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int kProjects = 1000;

QStringList projectNames()
{
    QStringList names;
    for (int i = 0; i < kProjects; ++i)
        names.append(QStringLiteral("Project %1").arg(i, 4, 10, QLatin1Char('0')));
    return names;
}

void fill(const QString& programDir, const QStringList& names)
{
    ProjectRecord record;
    record.setValue(ProjectField::Url, QStringLiteral("http://www.example.com/page.html"));
    record.setValue(ProjectField::Title, QStringLiteral("A title of some length for the page"));
    record.setValue(ProjectField::Description, QString(200, QLatin1Char('d')));
    record.setValue(ProjectField::Keywords, QStringLiteral("one,two,three,four,five,six,seven,eight"));
    record.setValue(ProjectField::FirstName, QStringLiteral("Ann"));
    for (const QString& name : names)
        ProjectFile::write(programDir, name, record);
    ProjectIndex::rewrite(programDir, names);
}

double seconds(const QElapsedTimer& timer)
{
    return static_cast<double>(timer.nsecsElapsed()) / 1e9;
}

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

void report(const char* what, double figure, double target)
{
    std::printf("%-38s %9.4f s   target < %5.2f s   ratio to target %.3f  %s\n", what, figure, target, figure / target,
                figure < target ? "ok" : "OVER");
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QStringList names = projectNames();
    int status = 0;

    TempProgramDir dir;
    ScriptedDialogs dialogs;
    fill(dir.path(), names);
    ProjectListModel model;
    ProjectEditorPage editor;
    ProjectStore store(&model, &editor);
    store.setProgramDir(dir.path());

    // Start-up load of the index.
    QList<double> loads;
    for (int i = 0; i < 5; ++i) {
        QElapsedTimer timer;
        timer.start();
        store.loadIndex();
        loads.append(seconds(timer));
    }
    if (model.count() != kProjects) {
        std::printf("index load gave %d entries, not %d\n", model.count(), kProjects);
        return 1;
    }
    const double load = median(loads);
    report("index load (1,000 entries, median of 5)", load, 0.5);
    status |= load < 0.5 ? 0 : 1;

    // One save of a new Project; then four more for a median.
    QList<double> saves;
    for (int i = 0; i < 5; ++i) {
        editor.setFieldText(ProjectField::SessionName, QStringLiteral("New %1").arg(i));
        editor.setFieldText(ProjectField::Url, QStringLiteral("http://new.example/"));
        QElapsedTimer timer;
        timer.start();
        store.save();
        saves.append(seconds(timer));
    }
    if (model.count() != kProjects + 5 || !dialogs.messages().isEmpty()) {
        std::printf("saves did not add their Projects\n");
        return 1;
    }
    report("first save of a new Project", saves.first(), 0.1);
    report("save of a new Project (median of 5)", median(saves), 0.1);
    status |= saves.first() < 0.1 ? 0 : 1;

    // The peer: one rewrite of the index by key-by-key profile writes.
    {
        const QStringList current = model.names();
        QElapsedTimer timer;
        timer.start();
        IniFile ini(ProjectIndex::path(dir.path()));
        ini.beginUpdate();
        ini.eraseSection(QStringLiteral("List"));
        for (int i = 0; i < current.size(); ++i) {
            ini.writeString(QStringLiteral("Session"), QStringLiteral("Count"), QString::number(i));
            ini.writeString(QStringLiteral("List"), QString::number(i), current.at(i));
        }
        ini.endUpdate();
        const double peer = seconds(timer);
        const QByteArray peerBytes = ProjectIndex::readBytes(ProjectIndex::path(dir.path()));
        timer.restart();
        ProjectIndex::rewrite(dir.path(), current);
        const double ours = seconds(timer);
        const bool same = ProjectIndex::readBytes(ProjectIndex::path(dir.path())) == peerBytes;
        std::printf("%-38s %9.4f s   peer (key-by-key) %.4f s   ratio ours/peer %.3f  %s\n",
                    "index rewrite (1,005 entries)", ours, peer, ours / peer, same ? "same bytes" : "DIFFERENT");
        status |= same ? 0 : 1;
    }

    // "Delete All Projects", confirmed.
    dialogs.answer(Dialogs::Yes);
    QElapsedTimer timer;
    timer.start();
    store.deleteAll();
    const double all = seconds(timer);
    if (!model.isEmpty()) {
        std::printf("delete all left %d entries\n", model.count());
        return 1;
    }
    report("delete all (1,005 Projects, confirmed)", all, 10.0);
    status |= all < 10.0 ? 0 : 1;
    return status;
}
