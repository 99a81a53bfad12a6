// With 50,000 saved Projects: the start-up to a shown window, one save of a
// new Project, and "Delete Checked" of 45,000 of them. Each against its
// target; the peer in the same run is the same step with 1,000 Projects,
// which shows what the size of the list adds.
#include "app/TSubmitMain.h"
#include "projects/ProjectEditorPage.h"
#include "projects/ProjectFile.h"
#include "projects/ProjectIndex.h"
#include "projects/ProjectListModel.h"
#include "projects/ProjectStore.h"
#include "support/BenchSupport.h"
#include "support/ScriptedDialogs.h"
#include "support/TempProgramDir.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTest>

#include <algorithm>
#include <cstdio>

namespace {

QStringList projectNames(int count)
{
    QStringList names;
    names.reserve(count);
    for (int i = 0; i < count; ++i)
        names.append(QStringLiteral("Project %1").arg(i, 5, 10, QLatin1Char('0')));
    return names;
}

// The files as a save writes them (one written by the program, the others
// copies of it under their own section), then the index.
void fill(const QString& programDir, const QStringList& names)
{
    ProjectRecord record;
    record.setValue(ProjectField::Url, QStringLiteral("http://www.example.com/page.html"));
    record.setValue(ProjectField::Title, QStringLiteral("A title of some length for the page"));
    record.setValue(ProjectField::Description, QString(200, QLatin1Char('d')));
    record.setValue(ProjectField::Keywords, QStringLiteral("one,two,three,four,five,six,seven,eight"));
    record.setValue(ProjectField::FirstName, QStringLiteral("Ann"));
    ProjectFile::write(programDir, names.first(), record);
    QFile first(ProjectFile::path(programDir, names.first()));
    first.open(QIODevice::ReadOnly);
    const QByteArray header = "[" + names.first().toUtf8() + "]";
    const QByteArray body = first.readAll().mid(header.size());
    for (int i = 1; i < names.size(); ++i) {
        QFile out(ProjectFile::path(programDir, names.at(i)));
        out.open(QIODevice::WriteOnly);
        out.write("[" + names.at(i).toUtf8() + "]" + body);
    }
    ProjectIndex::rewrite(programDir, names);
}

double ms(const QElapsedTimer& timer)
{
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

struct Figures
{
    double startMs = -1;
    double saveMs = -1;
    double deleteMs = -1;
};

// One program directory of `count` Projects: start-up, five saves, then
// "Delete Checked" of the first `deleted`.
Figures measure(int count, int deleted)
{
    Figures figures;
    TempProgramDir dir;
    ScriptedDialogs dialogs;
    fill(dir.path(), projectNames(count));
    Bench::settle();

    QElapsedTimer timer;
    timer.start();
    TSubmitMain window;
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return figures;
    figures.startMs = ms(timer);
    ProjectStore* store = window.projectStore();
    ProjectListModel* model = store->model();
    if (model->count() != count) {
        std::printf("start-up listed %d Projects, not %d\n", model->count(), count);
        return figures;
    }

    QList<double> saves;
    for (int i = 0; i < 5; ++i) {
        window.ProjectEditor->setFieldText(ProjectField::SessionName, QStringLiteral("New %1").arg(i));
        window.ProjectEditor->setFieldText(ProjectField::Url, QStringLiteral("http://new.example/"));
        timer.restart();
        store->save();
        saves.append(ms(timer));
    }
    if (model->count() != count + 5 || !dialogs.messages().isEmpty()) {
        std::printf("the saves did not add their Projects\n");
        return figures;
    }
    figures.saveMs = median(saves);

    for (int row = 0; row < deleted; ++row)
        model->setChecked(row, true);
    Bench::settle();
    timer.restart();
    store->deleteChecked();
    // After the first moment the files go in slices between events.
    const bool ended = QTest::qWaitFor([store] { return !store->isBusy(); }, 60000);
    figures.deleteMs = ended ? ms(timer) : -1;
    if (model->count() != count + 5 - deleted) {
        std::printf("delete checked left %d entries, not %d\n", model->count(), count + 5 - deleted);
        figures.deleteMs = -1;
    }
    return figures;
}

bool report(const char* what, double small, double big, double target)
{
    const bool ok = big >= 0 && big < target;
    std::printf("%-34s 1,000: %9.2f ms   50,000: %9.2f ms   ratio %.1f   target < %.0f ms  %s\n", what, small, big,
                small > 0 ? big / small : -1.0, target, ok ? "ok" : "OVER");
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    // As the spider's benchmark: the program directory in memory when it can,
    // so that the figures are the program's and not the disk's flushes.
    Bench::preferMemoryTempDir();
    QApplication app(argc, argv);
    std::printf("program directories under %s, load average %.2f\n", qPrintable(QDir::tempPath()),
                Bench::loadAverage());
    const Figures small = measure(1000, 900);
    const Figures big = measure(50000, 45000);
    bool ok = report("start-up to a shown window", small.startMs, big.startMs, 1000);
    ok = report("save of a new Project (median of 5)", small.saveMs, big.saveMs, 5) && ok;
    ok = report("Delete Checked (90 %)", small.deleteMs, big.deleteMs, 5000) && ok;
    std::printf("load average %.2f\n", Bench::loadAverage());
    std::printf("RESULT bench_projects start50000_ms=%.1f save50000_ms=%.2f delete45000_ms=%.1f\n", big.startMs,
                big.saveMs, big.deleteMs);
    return ok ? 0 : 1;
}
